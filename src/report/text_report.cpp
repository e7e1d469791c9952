#include "text_report.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
        QSaveFile f(OutputFile);
        QByteArray bytes = out.toUtf8();
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
            throw TReportException(QStringLiteral("Cannot write file \"%1\".").arg(OutputFile));
    }
    return out;
}
