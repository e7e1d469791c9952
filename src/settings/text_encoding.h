#pragma once
// Text encodings of the settings file: a byte-order mark names UTF-8 or UTF-16; otherwise the file is in
// the encoding its owner chooses, by default the system's 8-bit code page (UTF-8 here).
#include "text_codec.h"

#include <QByteArray>
#include <QString>

struct TextEncoding {
    QByteArray name = "UTF-8"; // "UTF-8", "UTF-16LE", "UTF-16BE", "ISO-8859-1", "CP1250", ...
    bool bom = false;          // written with a byte-order mark
    bool operator==(const TextEncoding&) const = default;
};

// The system's 8-bit code page (SetSystemCodePage changes it); tests and configuration may change it.
TextEncoding SystemCodePage();

// Decodes bytes. A byte-order mark overrides enc; enc receives the encoding to write the text back in.
// Bytes that are not valid UTF-8 where UTF-8 was expected are read as Latin-1, so no byte is lost.
// Throws Exception for an encoding this system does not know.
QString DecodeText(const QByteArray& bytes, TextEncoding& enc);

// Encodes text, with the byte-order mark when enc asks for one. Characters the encoding cannot
// represent become "?" (the lenient codec: a settings file is always written). Throws Exception for an
// unknown encoding.
QByteArray EncodeText(const QString& text, const TextEncoding& enc);
