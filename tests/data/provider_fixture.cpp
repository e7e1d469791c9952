#include "provider_fixture.h"

#include "test_util.h"

#include <QDir>
#include <QUuid>
#include <stdexcept>

namespace {
QString tempFolder() {
    static TempDir dir;
    return dir.path();
}

std::vector<ProviderFixture> make() {
    std::vector<ProviderFixture> list;
    list.push_back(
        {"sqlite",
         [](const QString& sql) {
             QString path =
                 QDir(tempFolder()).filePath(QUuid::createUuid().toString(QUuid::Id128) + ".sqlite");
             MakeSqliteDb(path, sql);
             return QStringLiteral("Provider=SQLite;Data Source=") + path;
         },
         {}});
    return list;
}
} // namespace

const std::vector<ProviderFixture>& Providers() {
    static const std::vector<ProviderFixture> list = make();
    return list;
}

std::vector<QString> ProviderNames() {
    std::vector<QString> names;
    for (const ProviderFixture& p : Providers())
        names.push_back(p.name);
    return names;
}

const ProviderFixture& ProviderByName(const QString& name) {
    for (const ProviderFixture& p : Providers())
        if (p.name == name) return p;
    throw std::runtime_error("no provider " + name.toStdString());
}
