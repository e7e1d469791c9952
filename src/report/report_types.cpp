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
