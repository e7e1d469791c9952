#pragma once
// One zlib stream (RFC 1950 wrapper) holding a whole file.
#include <QByteArray>

// Compresses at zlib's default level.
QByteArray ZlibCompress(const QByteArray& data);
// Inflates one complete stream that fills all of data into out (left alone unless Whole). Broken when
// the bytes are not exactly that; TooLarge as soon as the text grows beyond maxBytes.
enum class Inflated { Whole, Broken, TooLarge };
Inflated ZlibInflate(const QByteArray& data, QByteArray& out, qsizetype maxBytes);
// Whether data starts with a valid zlib header (cheap test before a full inflate).
bool LooksLikeZlib(const QByteArray& data);
