#include "report_types.h"

namespace report_errors {
QString Bracket(const QString& tag) {
    return QStringLiteral("Bracket error in function: \"%1\".").arg(tag);
}
QString DatabaseField(const QString& tag) {
    return QStringLiteral("Calculation error in database field \"%1\".").arg(tag);
}
QString IncorrectDataset(const QString& tag) {
    return QStringLiteral("Incorrect dataset \"%1\", (A..Z allowed)").arg(tag);
}
QString NotFound(const QString& tag) {
    return QStringLiteral("\"%1\" not found.").arg(tag);
}
QString CalcFunction(const QString& tag) {
    return QStringLiteral("Calculation error in function \"%1\".").arg(tag);
}
QString IncorrectTag(const QString& tag) {
    return QStringLiteral("Incorrect tag \"%1\".").arg(tag);
}
QString TooDeep(const QString& tag) {
    return QStringLiteral("Tags nested too deep in \"%1\".").arg(tag);
}
QString TooLarge(const QString& tag) {
    return QStringLiteral("Report too large at \"%1\".").arg(tag);
}
} // namespace report_errors

void ThrowTemplateError(const QString& detail) {
    throw TReportException(QStringLiteral("Bad format of template file.\r\n") + detail);
}

TPictureParams ParsePictureParams(QStringView params) {
    TPictureParams p;
    auto number = [](QStringView v) {
        bool ok = false;
        double d = v.trimmed().toString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        return ok ? d : 0.0;
    };
    for (QStringView part : params.split(QLatin1Char(';'))) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        const QString key = (eq >= 0 ? part.left(eq) : part).trimmed().toString().toLower();
        const QStringView val = eq >= 0 ? part.mid(eq + 1).trimmed() : QStringView();
        if (key == u"w")
            p.w = number(val);
        else if (key == u"h")
            p.h = number(val);
        else if (key == u"wcm")
            p.wcm = number(val);
        else if (key == u"hcm")
            p.hcm = number(val);
        else if (key == u"winch")
            p.winch = number(val);
        else if (key == u"hinch")
            p.hinch = number(val);
        else if (key == u"rotate")
            p.rotate = number(val);
        else if (key == u"enlarge")
            p.enlarge = true;
        else if (key == u"insertinrtf")
            p.insertInRtf = true;
        else if (key == u"saveasbmp")
            p.saveAs = "bmp";
        else if (key == u"saveasjpg")
            p.saveAs = "jpeg";
        else if (key == u"saveaspng")
            p.saveAs = "png";
        else if (key == u"namefield")
            p.nameField = val.toString();
        else if (key == u"quality")
            p.quality = val.toString();
    }
    return p;
}

QString TReportValue::plain() const {
    if (pieces_.size() == 1 && pieces_[0].kind != TReportPiece::Picture) return pieces_[0].text;
    QString s;
    for (const TReportPiece& p : pieces_)
        if (p.kind != TReportPiece::Picture) s += p.text;
    return s;
}

void TReportMarkup::appendValue(QString& out, const TReportValue& v) const {
    for (const TReportPiece& p : v.pieces()) {
        switch (p.kind) {
        case TReportPiece::Text:
            appendText(out, p.text);
            break;
        case TReportPiece::Markup:
            out += p.text;
            break;
        case TReportPiece::Picture:
            appendPicture(out, p);
            break;
        }
    }
}
