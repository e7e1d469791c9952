#pragma once
// The bytes of a text file as UTF-8: a byte-order mark decides first (UTF-8, UTF-16LE/BE), then the
// character set a connection names, then UTF-8 when the bytes are valid UTF-8, else the 8-bit code
// page windows-1252. Valid UTF-8 without a mark is used in place, without a copy.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <functional>

struct DecodedText {
    QByteArray owned;           // the converted text when a conversion was needed
    const char* data = nullptr; // UTF-8 text
    size_t size = 0;
    QString encoding; // what the bytes were read as
};

// Raises EDatabaseError naming the character set when iconv does not know it, or the offset of bytes
// that are not text in the stated character set. passed, when given, is told piece by piece how far
// the check of bytes used in place has come (a reader of a mapped file lets those pages go).
DecodedText DecodeText(const char* bytes, size_t size, const QString& charset,
                       const std::function<void(const char*)>& passed = {});

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(const char* bytes, size_t size, const std::function<void(const char*)>& passed = {});
