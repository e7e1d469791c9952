#include "report_types.h"

#include <QImageReader>
#include <algorithm>
#include <unistd.h>

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

void ThrowCannotOpenTemplate(const QString& fileName) {
    throw TReportException(
        QStringLiteral("Cannot open file \"%1\".\r\nFile not exist (probably).").arg(fileName));
}

TPictureParams ParsePictureParams(QStringView params) {
    static const std::pair<QStringView, double TPictureParams::*> kNumbers[] = {
        {u"w", &TPictureParams::w},          {u"h", &TPictureParams::h},
        {u"wcm", &TPictureParams::wcm},      {u"hcm", &TPictureParams::hcm},
        {u"winch", &TPictureParams::winch},  {u"hinch", &TPictureParams::hinch},
        {u"rotate", &TPictureParams::rotate}};
    static const std::pair<QStringView, QByteArray> kSaveAs[] = {
        {u"saveasbmp", "bmp"}, {u"saveasjpg", "jpeg"}, {u"saveaspng", "png"}};
    TPictureParams p;
    for (QStringView part : params.split(QLatin1Char(';'))) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        const QString key = (eq >= 0 ? part.left(eq) : part).trimmed().toString().toLower();
        const QStringView val = eq >= 0 ? part.mid(eq + 1).trimmed() : QStringView();
        for (const auto& [name, member] : kNumbers)
            if (key == name) {
                bool ok = false;
                const double d = val.toString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
                p.*member = ok ? d : 0.0;
            }
        for (const auto& [name, format] : kSaveAs)
            if (key == name) p.saveAs = format;
        if (key == u"enlarge") p.enlarge = true;
        if (key == u"insertinrtf") p.insertInRtf = true;
        if (key == u"namefield") p.nameField = val.toString();
        if (key == u"quality") p.quality = val.toString();
    }
    return p;
}

void AllowLargePictures() {
    static const bool done = [] {
        const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
        const qint64 quarterMb = pages > 0 && pageSize > 0 ? qint64(pages) * pageSize / 4 / (1024 * 1024) : 0;
        // Qt keeps the limit in an int of megabytes.
        const qint64 mb = std::clamp<qint64>(quarterMb, QImageReader::allocationLimit(), 1 << 20);
        QImageReader::setAllocationLimit(int(mb));
        return true;
    }();
    (void)done;
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
