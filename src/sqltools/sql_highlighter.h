#pragma once
// Colours words (whole words, any case) and, when asked, text between apostrophes in an SQL text
// area.
#include <QColor>
#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <vector>

class SqlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit SqlHighlighter(QTextDocument* document);

    // The words drawn in a colour; a later call adds another group.
    void addWords(const QStringList& words, const QColor& color);
    // Text between two apostrophes, the apostrophes included, also across lines.
    void setStringColor(const QColor& color);

protected:
    void highlightBlock(const QString& text) override;

private:
    struct Group {
        QRegularExpression pattern;
        QColor color;
    };
    std::vector<Group> groups_;
    QColor stringColor_;
};

// The words the command window highlights: the shared reserved-word list.
QStringList ReservedWordList();
