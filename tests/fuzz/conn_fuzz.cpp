// libFuzzer target: any bytes as a connection file's content, read as the connection file reader
// does, then split, masked and routed. Every value must read back as written, and no password may
// survive masking. Errors are expected; crashes, hangs, sanitizer reports and broken round trips
// are not.
#include "conn_string.h"
#include "exceptions.h"
#include "fuzz_app.h"
#include "odbc_conn_string.h"
#include "text_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureFuzzApplication();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString text;
    try {
        text = DecodeTextFile(bytes, QStringLiteral("fuzz.udl"));
    } catch (const Exception&) {
        text = QString::fromUtf8(bytes); // the parsers must stand any text, also what files may not hold
    }
    std::vector<InitToken> tokens;
    ScanInitString(text, 0, true, &tokens);
    const InitString s = InitString::parse(text);
    if (InitString::parse(s.text()).items() != s.items()) std::abort();
    const QString masked = MaskPasswords(text);
    const InitString m = InitString::parse(masked);
    for (const auto& [k, v] : m.items())
        if ((k.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0 ||
             k.compare(QLatin1String("Password"), Qt::CaseInsensitive) == 0) &&
            v != QLatin1String("***"))
            std::abort();
    PasswordsOf(text);
    try {
        OdbcRouteOf(s, QStringLiteral("/conn"));
    } catch (const EDatabaseError&) {
    }
    return 0;
}
