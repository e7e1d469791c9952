// libFuzzer target: any bytes as a plain-text template (and as a bare expression and condition) over a
// small dataset. Template errors are expected; crashes, hangs and sanitizer reports are not.
#include "connection.h"
#include "fuzz_app.h"
#include "query.h"
#include "text_report.h"

#include <cstddef>
#include <cstdint>

namespace {
struct Fixture {
    Fixture() {
        con.ConnectionString = QStringLiteral("Provider=SQLite;Data Source=:memory:");
        con.Open();
        a.Connection = &con;
        a.SQL = QStringLiteral("SELECT 1 AS ID, 'Smith' AS NAME, 2.5 AS PRICE, 1 AS FLAG UNION ALL "
                               "SELECT 2, 'Jo', -1, 0 UNION ALL SELECT 3, NULL, NULL, NULL");
        a.Open();
        b.Connection = &con;
        b.SQL = QStringLiteral("SELECT 1 AS ID WHERE 0");
        b.Open();
    }
    TADOConnection con;
    TADOQuery a, b;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureFuzzApplication();
    static Fixture fx;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    TTextReport report;
    report.Variables = QStringList{QStringLiteral("V=\\\\A.NAME\\\\"), QStringLiteral("N=3")};
    report.OnGetTemplateStr = [&](QString& t) { t = text; };
    try {
        report.Execute({&fx.a, &fx.b});
    } catch (const TReportException&) {
    }
    try {
        report.evaluateExpression(text);
    } catch (const TReportException&) {
    }
    try {
        report.evaluateCondition(text);
    } catch (const TReportException&) {
    }
    return 0;
}
