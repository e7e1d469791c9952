#include "sqltools_fixture.h"

#include "comp_config.h"

#include <QLocale>

SqliteFixture::SqliteFixture(const QString& sql) {
    path = MakeSqliteDb(dir.path("t.sqlite"), sql);
    connection.ConnectionString = "Provider=SQLite;Data Source=" + path;
    connection.Open();
}

std::unique_ptr<TADOQuery> SqliteFixture::open(const QString& sqlOrTable) {
    auto q = std::make_unique<TADOQuery>(&connection);
    q->SQL = sqlOrTable.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive)
                 ? sqlOrTable
                 : QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(sqlOrTable);
    q->Open();
    return q;
}

QStringList ReadColumn(const QString& path, const QString& sql) {
    TADOConnection check;
    check.ConnectionString = "Provider=SQLite;Data Source=" + path;
    check.Open();
    TADOQuery q(&check);
    q.SQL = sql;
    q.Open();
    QStringList out;
    for (q.First(); !q.Eof(); q.Next())
        out << q.Fields(0)->AsString();
    return out;
}

struct SettingsGuard::Saved {
    TkDBToolCfg tool = VemoCompConfig().kDBToolCfg;
    TkDBFilterCfg filter = VemoCompConfig().kDBFilterCfg;
    QLocale locale;
};

SettingsGuard::SettingsGuard() : saved_(std::make_unique<Saved>()) {}

SettingsGuard::~SettingsGuard() {
    VemoCompConfig().kDBToolCfg = saved_->tool;
    VemoCompConfig().kDBFilterCfg = saved_->filter;
    QLocale::setDefault(saved_->locale);
}
