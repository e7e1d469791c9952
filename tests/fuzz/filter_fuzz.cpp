// libFuzzer target: any bytes as a dataset filter over a small dataset of every storage kind.
// Filter errors are expected; crashes, hangs and sanitizer reports are not.
#include "connection.h"
#include "exceptions.h"
#include "filter_expr.h"
#include "fuzz_app.h"
#include "query.h"

#include <cstddef>
#include <cstdint>

namespace {
struct Fixture {
    Fixture() {
        con.ConnectionString = QStringLiteral("Provider=SQLite;Data Source=:memory:");
        con.Open();
        con.Execute(QStringLiteral(
            "CREATE TABLE t (id INTEGER, name TEXT, price REAL, born DATE, seen DATETIME, flag BOOLEAN, "
            "[unit price] MONEY, data BLOB);"
            "INSERT INTO t VALUES (1, 'Smith', 2.5, '1980-02-29', '2024-01-01 10:00:00', 1, 3.25, X'00FF');"
            "INSERT INTO t VALUES (2, 'O''Brien', -1, NULL, NULL, 0, NULL, NULL);"
            "INSERT INTO t VALUES (3, NULL, NULL, '2000-01-01', '2000-01-01 00:00:00', NULL, 0, X'');"));
        q.Connection = &con;
        q.SQL = QStringLiteral("SELECT * FROM t");
        q.Open();
    }
    TADOConnection con;
    TADOQuery q;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureFuzzApplication();
    static Fixture fx;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (bool caseInsensitive : {false, true}) {
        try {
            const auto program = FilterProgram::compile(text, fx.q, caseInsensitive);
            for (uint32_t row = 0; row < uint32_t(fx.q.RecordCount()); ++row)
                program->matches(row);
        } catch (const EDatabaseError&) {
        }
    }
    return 0;
}
