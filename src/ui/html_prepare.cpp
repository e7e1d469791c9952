#include "html_prepare.h"

namespace {

const QString kVar = QStringLiteral("<VAR>");
const QString kVarEnd = QStringLiteral("</VAR>");
const QString kBr = QStringLiteral("<BR>");

QString trimmedEnd(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).unicode() <= ' ')
        --n;
    return s.left(n);
}

// Removing one tag can join its neighbours into a new one ("<VA<VAR>R>"), so repeat until none is left.
QString withoutVarTags(QString value) {
    for (;;) {
        const qsizetype before = value.size();
        value.remove(kVar, Qt::CaseInsensitive);
        value.remove(kVarEnd, Qt::CaseInsensitive);
        if (value.size() == before) return value;
    }
}

void fillParameters(QString& text, const HtmlPrepareOptions& o) {
    // Every round consumes at least one character of the original text, so this bound is never
    // reached by a real text; it only guards against a handler that keeps rebuilding tags.
    qsizetype rounds = text.size() + 1;
    while (rounds-- > 0) {
        const qsizetype start = text.indexOf(kVar, 0, Qt::CaseInsensitive);
        if (start < 0) return;
        const qsizetype end = text.indexOf(kVarEnd, start + kVar.size(), Qt::CaseInsensitive);
        if (end < 0) return;
        const QString name = text.mid(start + kVar.size(), end - start - kVar.size());
        QString value;
        if (o.designing) {
            value = '[' + name + ']';
        } else if (o.getParameter) {
            value = name;
            o.getParameter(value);
        }
        text.replace(start, end + kVarEnd.size() - start, withoutVarTags(value));
    }
}

} // namespace

HtmlPrepared PrepareHtmlText(const QStringList& captionStrings, const QString& caption,
                             const HtmlPrepareOptions& options) {
    const QString lines = trimmedEnd(captionStrings.join(QStringLiteral("\r\n")));
    return PrepareHtmlText(lines.isEmpty() ? caption : lines, options);
}

HtmlPrepared PrepareHtmlText(const QString& source, const HtmlPrepareOptions& o) {
    HtmlPrepared out;
    // A lone line feed is a line break too: texts written here seldom carry carriage returns.
    QString text = source;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    text.replace('\n', '\r');

    if (o.parameters) fillParameters(text, o);

    const QString noWrap = QStringLiteral("<NOWORDWRAP>");
    if (text.contains(noWrap, Qt::CaseInsensitive)) {
        text.remove(noWrap, Qt::CaseInsensitive);
        out.noWordWrap = true;
    }

    text.replace('\t', QStringLiteral("<TAB>"));
    text.remove('\n');

    if (o.captionSkipEnter) {
        text.replace(kBr + '\r', kBr, Qt::CaseInsensitive);
        text.replace('\r', ' ');
    }
    text.replace(kBr, QStringLiteral("\r"), Qt::CaseInsensitive);

    // Empty lines get a blank so they keep their height.
    if (text.startsWith('\r')) text.prepend(' ');
    while (text.contains(QStringLiteral("\r\r")))
        text.replace(QStringLiteral("\r\r"), QStringLiteral("\r \r"));

    out.text = text;
    return out;
}
