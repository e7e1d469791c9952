#include "table_reader.h"

#include "access_reader.h"
#include "csv_reader.h"
#include "dbf_reader.h"
#include "exceptions.h"

#include "file_source.h"
#include "sheet_readers.h"
#include <QDir>

#include <QFileInfo>

std::vector<ColumnDesc> TableReader::columns(const QString& table) {
    StoreSink sink;
    read(table, sink, -1);
    return sink.columns_;
}

ColumnStore& StoreSink::begin(const std::vector<ColumnDesc>& columns) {
    columns_ = columns;
    store_.clear();
    for (const ColumnDesc& c : columns)
        store_.addColumn(StorageOf(c.type));
    return store_;
}

QString FileError(const QString& path, const QString& what) {
    return QStringLiteral("File \"%1\": %2").arg(QDir::toNativeSeparators(path), what);
}

std::unique_ptr<TableReader> OpenTableReader(const FileSource& source) {
    QFileInfo fi(source.path);
    if (!fi.exists()) throw EDatabaseError(QStringLiteral("File \"%1\" does not exist").arg(source.path));
    bool folderKind = source.kind == FileKind::Text || source.kind == FileKind::DBase;
    if (fi.isDir() && !folderKind)
        throw EDatabaseError(
            QStringLiteral("\"%1\" is a folder, not a %2 file").arg(source.path, FileKindName(source.kind)));
    if (!fi.isReadable()) throw EDatabaseError(QStringLiteral("Cannot open file \"%1\".").arg(source.path));
    switch (source.kind) {
    case FileKind::Text:
        return std::make_unique<TextFolderReader>(source);
    case FileKind::Xlsx:
        return OpenXlsxReader(source);
    case FileKind::Ods:
        return OpenOdsReader(source);
    case FileKind::Xls:
        return OpenXlsReader(source);
    case FileKind::DBase:
        return std::make_unique<DbfFolderReader>(source);
    case FileKind::Access:
        return std::make_unique<AccessReader>(source);
    }
    throw EDatabaseError(QStringLiteral("Unknown file kind"));
}
