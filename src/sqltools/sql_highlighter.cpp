#include "sql_highlighter.h"

#include "comp_config.h"

#include <QTextCharFormat>

SqlHighlighter::SqlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void SqlHighlighter::addWords(const QStringList& words, const QColor& color) {
    QStringList escaped;
    for (const QString& w : words)
        if (!w.trimmed().isEmpty()) escaped << QRegularExpression::escape(w.trimmed());
    if (escaped.isEmpty()) return;
    // A word ends where no letter, digit or underscore follows: "SETTING" and "GO_ON" hold no word.
    QRegularExpression re(QStringLiteral("(?<![\\w])(?:%1)(?![\\w])").arg(escaped.join('|')),
                          QRegularExpression::CaseInsensitiveOption |
                              QRegularExpression::UseUnicodePropertiesOption);
    re.optimize();
    groups_.push_back({std::move(re), color});
    rehighlight();
}

void SqlHighlighter::setStringColor(const QColor& color) {
    stringColor_ = color;
    rehighlight();
}

void SqlHighlighter::highlightBlock(const QString& text) {
    for (const Group& g : groups_) {
        QTextCharFormat format;
        format.setForeground(g.color);
        for (auto it = g.pattern.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            setFormat(int(m.capturedStart()), int(m.capturedLength()), format);
        }
    }
    setCurrentBlockState(0);
    if (!stringColor_.isValid()) return;
    QTextCharFormat format;
    format.setForeground(stringColor_);
    // State 1: the block begins inside a literal opened on an earlier line. A doubled apostrophe
    // closes and reopens, which colours the same text.
    qsizetype start = previousBlockState() == 1 ? 0 : text.indexOf('\'');
    while (start >= 0) {
        const qsizetype from = previousBlockState() == 1 && start == 0 ? 0 : start + 1;
        const qsizetype end = text.indexOf('\'', from);
        if (end < 0) {
            setFormat(int(start), int(text.size() - start), format);
            setCurrentBlockState(1);
            return;
        }
        setFormat(int(start), int(end - start + 1), format);
        start = text.indexOf('\'', end + 1);
    }
}

QStringList ReservedWordList() {
    return VemoCompConfig().kDBToolCfg.SQLScript_ReservedKeywords.split(',', Qt::SkipEmptyParts);
}
