#include "text_report.h"

#include "safe_file.h"

#include <QFile>
#include <QFileInfo>

TTextReport::TTextReport() : TReportEngine(markup_) {}

QString TTextReport::Execute(const std::vector<TDataSet*>& dataSets) {
    setDataSets(dataSets);
    QString text;
    if (OnGetTemplateStr) {
        OnGetTemplateStr(text);
    } else {
        QFile f(TemplateFile);
        if (!f.open(QIODevice::ReadOnly))
            throw TReportException(QStringLiteral("File \"%1\" not found.").arg(TemplateFile));
        text = QString::fromUtf8(f.readAll());
    }
    if (TemplateFolder.isEmpty() && !TemplateFile.isEmpty())
        TemplateFolder = QFileInfo(TemplateFile).absolutePath();
    QString out = process(text);
    if (!OutputFile.isEmpty()) {
        try {
            SafeFile f(OutputFile);
            f.write(out.toUtf8());
            f.commit();
        } catch (const FileWriteError& e) {
            throw TReportException(e.Message);
        }
    }
    return out;
}
