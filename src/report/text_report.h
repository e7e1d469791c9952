#pragma once
// The plain-text template kind: a text file with tags between two backslashes, filled from up to 26
// datasets and written as UTF-8 (CR LF line ends as in the template).
#include "report_engine.h"

class TTextReport : public TReportEngine {
public:
    TTextReport();

    QString TemplateFile;
    QString OutputFile;
    // Supplies the template text instead of the file when set.
    std::function<void(QString& text)> OnGetTemplateStr;

    // Fills the template from the datasets and writes OutputFile; nothing is written on failure.
    // Returns the generated text.
    QString Execute(const std::vector<TDataSet*>& dataSets);

private:
    TReportMarkup markup_;
};
