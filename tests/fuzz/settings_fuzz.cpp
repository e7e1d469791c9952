// libFuzzer target: any bytes as a settings file, plain or compressed, read as the settings store
// does and written back. Crashes, hangs and sanitizer reports are findings; so is text that does not
// survive its own write and read.
#include "fuzz_app.h"
#include "ini_values.h"
#include "mem_ini_file.h"
#include "text_encoding.h"
#include "zlib_stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureFuzzApplication();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray inflated;
    const bool compressed = ZlibInflate(bytes, inflated, qsizetype(64) << 20) == Inflated::Whole;
    TextEncoding enc = SystemCodePage();
    TMemIniFileEx ini;
    ini.SetContentAsString(DecodeText(compressed ? inflated : bytes, enc));
    for (const QString& section : ini.ReadSections())
        for (const QString& key : ini.ReadSection(section)) {
            const QString v = ini.ReadString(section, key, QString());
            IniTextToValue(v, 0);
            IniTextToValue(v, 1.5);
            IniTextToValue(v, true);
            UnescapeValueText(v);
        }
    const QString content = ini.GetContentAsString();
    TMemIniFileEx again;
    again.SetContentAsString(content);
    if (again.GetContentAsString() != content) std::abort();
    return 0;
}
