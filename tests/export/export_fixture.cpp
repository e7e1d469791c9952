#include "export_fixture.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
std::unique_ptr<OpenedTable> Open(const QString& dbPath, const QString& table) {
    auto t = std::make_unique<OpenedTable>();
    t->connection.ConnectionString = "Provider=SQLite;Data Source=" + dbPath;
    t->connection.Open();
    t->query.SQL = QStringLiteral("SELECT * FROM \"%1\"").arg(table);
    t->query.Open();
    return t;
}
} // namespace

std::unique_ptr<OpenedTable> OpenTable(const TempDir& dir, const QString& sql, const QString& table) {
    return Open(MakeSqliteDb(dir.path("t.sqlite"), sql), table);
}

std::unique_ptr<OpenedTable> OpenDemoTable(const QString& table) {
    return Open(ProgramDir() + "/demo.sqlite", table);
}

QStringList CrLfLines(const QByteArray& data) {
    EXPECT_TRUE(data.endsWith("\r\n")) << data.right(20).toStdString();
    QStringList lines = QString::fromUtf8(data).split("\r\n");
    lines.removeLast();
    return lines;
}
