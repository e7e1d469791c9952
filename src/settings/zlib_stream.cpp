#include "zlib_stream.h"

#include "exceptions.h"

#include <zlib.h>

QByteArray ZlibCompress(const QByteArray& data) {
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        throw Exception(QStringLiteral("Cannot compress data."));
    out.truncate(qsizetype(size));
    return out;
}

Inflated ZlibInflate(const QByteArray& data, QByteArray& out, qsizetype maxBytes) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return Inflated::Broken;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    zs.avail_in = uInt(data.size());
    QByteArray result;
    char buffer[64 * 1024];
    int rc = Z_OK;
    bool tooLarge = false;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        rc = inflate(&zs, Z_NO_FLUSH);
        const qsizetype got = qsizetype(sizeof buffer - zs.avail_out);
        if (result.size() + got > maxBytes) {
            tooLarge = true;
            break;
        }
        result.append(buffer, got);
        if (rc == Z_BUF_ERROR && zs.avail_in == 0) break; // truncated stream
    }
    const bool whole = !tooLarge && rc == Z_STREAM_END && zs.avail_in == 0;
    inflateEnd(&zs);
    if (whole) out = std::move(result);
    return tooLarge ? Inflated::TooLarge : whole ? Inflated::Whole : Inflated::Broken;
}

bool LooksLikeZlib(const QByteArray& data) {
    if (data.size() < 2) return false;
    const auto cmf = uchar(data[0]), flg = uchar(data[1]);
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0;
}
