#pragma once
// Turns a label's marked-up text into the prepared form that is laid out: parameters filled in,
// tabs and line breaks normalised. A carriage return separates the lines of the result.
#include <QString>
#include <QStringList>
#include <functional>

struct HtmlPrepareOptions {
    bool captionSkipEnter = false; // line breaks of the text are blanks; only <BR> breaks a line
    bool designing = false;        // parameters show as "[" name "]"
    bool parameters = true;        // false: <VAR> is left as it is (markup from data)
    // Receives a parameter's name and replaces it with its value.
    std::function<void(QString& paramStr)> getParameter;
};

struct HtmlPrepared {
    QString text;
    bool noWordWrap = false; // the text held <NOWORDWRAP>
};

// The lines of captionStrings are taken when they hold anything but white space, else the caption.
HtmlPrepared PrepareHtmlText(const QStringList& captionStrings, const QString& caption,
                             const HtmlPrepareOptions& options);
HtmlPrepared PrepareHtmlText(const QString& text, const HtmlPrepareOptions& options);
