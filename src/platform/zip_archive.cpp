#include "zip_archive.h"

#include "exceptions.h"

#include <QFile>
#include <zip.h>

namespace {
constexpr zip_uint64_t kMaxEntryBytes = zip_uint64_t(256) << 20;
constexpr zip_uint64_t kMaxInflationRatio = 1000;
constexpr zip_uint64_t kRatioCheckBytes = zip_uint64_t(1) << 20; // small parts may compress very well
} // namespace

TZipArchive::~TZipArchive() {
    if (zip_) zip_discard(zip_);
}

void TZipArchive::fail(const QString& what) const {
    QString detail = zip_ ? QString::fromUtf8(zip_strerror(zip_)) : QString();
    throw Exception(QStringLiteral("%1 \"%2\": %3").arg(what, path_, detail));
}

void TZipArchive::open(const QString& path, bool create) {
    if (zip_) close(false);
    path_ = path;
    int err = 0;
    zip_ = zip_open(QFile::encodeName(path).constData(), create ? ZIP_CREATE : 0, &err);
    if (!zip_) {
        zip_error_t e;
        zip_error_init_with_code(&e, err);
        QString detail = QString::fromUtf8(zip_error_strerror(&e));
        zip_error_fini(&e);
        throw Exception(QStringLiteral("Cannot open package \"%1\": %2").arg(path, detail));
    }
}

QStringList TZipArchive::entries() const {
    QStringList names;
    const zip_int64_t n = zip_get_num_entries(zip_, 0);
    for (zip_int64_t i = 0; i < n; ++i)
        if (const char* name = zip_get_name(zip_, zip_uint64_t(i), ZIP_FL_ENC_GUESS))
            names.append(QString::fromUtf8(name));
    return names;
}

bool TZipArchive::contains(const QString& name) const {
    return zip_name_locate(zip_, name.toUtf8().constData(), 0) >= 0;
}

QByteArray TZipArchive::read(const QString& name) const {
    const QByteArray n = name.toUtf8();
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(zip_, n.constData(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        fail(QStringLiteral("Cannot read entry \"%1\" of").arg(name));
    // Limits no real document reaches: a part that would inflate beyond them is a broken or hostile
    // package, refused before anything is allocated for it.
    const bool ratioKnown = (st.valid & ZIP_STAT_COMP_SIZE) && st.comp_size > 0;
    if (st.size > kMaxEntryBytes)
        throw Exception(
            QStringLiteral("Entry \"%1\" of \"%2\" is larger than %3 MB, which no document part is")
                .arg(name, path_)
                .arg(kMaxEntryBytes >> 20));
    if (st.size > kRatioCheckBytes && ratioKnown && st.size / st.comp_size > kMaxInflationRatio)
        throw Exception(QStringLiteral("Entry \"%1\" of \"%2\" inflates more than %3 times, which no "
                                       "document part does")
                            .arg(name, path_)
                            .arg(kMaxInflationRatio));
    zip_file_t* f = zip_fopen(zip_, n.constData(), 0);
    if (!f) fail(QStringLiteral("Cannot read entry \"%1\" of").arg(name));
    QByteArray data(qsizetype(st.size), Qt::Uninitialized);
    const zip_int64_t got = zip_fread(f, data.data(), st.size);
    zip_fclose(f);
    if (got != zip_int64_t(st.size)) fail(QStringLiteral("Cannot read entry \"%1\" of").arg(name));
    return data;
}

void TZipArchive::write(const QString& name, const QByteArray& data) {
    pending_.push_back(data);
    const QByteArray& kept = pending_.back();
    zip_source_t* src = zip_source_buffer(zip_, kept.constData(), zip_uint64_t(kept.size()), 0);
    if (!src || zip_file_add(zip_, name.toUtf8().constData(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
        if (src) zip_source_free(src);
        fail(QStringLiteral("Cannot write entry \"%1\" of").arg(name));
    }
}

namespace {
struct StreamSource {
    TZipArchive::Rewind rewind;
    TZipArchive::Read read;
    qint64 size;
    zip_error_t error;
};

zip_int64_t StreamCallback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* s = static_cast<StreamSource*>(state);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        if (s->rewind && !s->rewind()) {
            zip_error_set(&s->error, ZIP_ER_READ, 0);
            return -1;
        }
        return 0;
    case ZIP_SOURCE_READ: {
        const qint64 n = s->read(static_cast<char*>(data), qint64(len));
        if (n < 0) zip_error_set(&s->error, ZIP_ER_READ, 0);
        return n;
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = zip_uint64_t(s->size);
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&s->error, data, len);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&s->error);
        delete s;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}
} // namespace

void TZipArchive::write(const QString& name, qint64 size, Rewind rewind, Read read) {
    auto* state = new StreamSource{std::move(rewind), std::move(read), size, {}};
    zip_error_init(&state->error);
    zip_source_t* src = zip_source_function(zip_, StreamCallback, state);
    if (!src) {
        zip_error_fini(&state->error);
        delete state;
        fail(QStringLiteral("Cannot write entry \"%1\" of").arg(name));
    }
    const zip_int64_t i =
        zip_file_add(zip_, name.toUtf8().constData(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (i < 0) {
        zip_source_free(src);
        fail(QStringLiteral("Cannot write entry \"%1\" of").arg(name));
    }
    // Large parts come this way: deflated at zlib's usual level, several times faster than the
    // library's default (the highest) for a few percent of size. (The library keeps a level only
    // with a method other than the replaced entry's: "default" is deflate too.)
    if (zip_set_file_compression(zip_, zip_uint64_t(i), ZIP_CM_DEFAULT, 6) < 0)
        fail(QStringLiteral("Cannot write entry \"%1\" of").arg(name));
}

void TZipArchive::remove(const QString& name) {
    const zip_int64_t i = zip_name_locate(zip_, name.toUtf8().constData(), 0);
    if (i >= 0 && zip_delete(zip_, zip_uint64_t(i)) != 0)
        fail(QStringLiteral("Cannot remove entry \"%1\" of").arg(name));
}

TZipArchive::Stream::~Stream() {
    if (file_) zip_fclose(file_);
}

qint64 TZipArchive::Stream::read(char* data, qint64 n) {
    const zip_int64_t got = zip_fread(file_, data, zip_uint64_t(n));
    if (got < 0)
        throw Exception(
            QStringLiteral("Cannot read %1: %2").arg(what_, QString::fromUtf8(zip_file_strerror(file_))));
    return got;
}

std::unique_ptr<TZipArchive::Stream> TZipArchive::stream(const QString& name) const {
    const QByteArray n = name.toUtf8();
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(zip_, n.constData(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        fail(QStringLiteral("Cannot read entry \"%1\" of").arg(name));
    auto s = std::make_unique<Stream>();
    s->file_ = zip_fopen(zip_, n.constData(), 0);
    if (!s->file_) fail(QStringLiteral("Cannot read entry \"%1\" of").arg(name));
    s->size_ = qint64(st.size);
    s->what_ = QStringLiteral("entry \"%1\" of \"%2\"").arg(name, path_);
    return s;
}

void TZipArchive::close(bool save) {
    if (!zip_) return;
    if (!save) {
        zip_discard(zip_);
        zip_ = nullptr;
    } else if (zip_close(zip_) != 0) {
        QString detail = QString::fromUtf8(zip_strerror(zip_));
        zip_discard(zip_);
        zip_ = nullptr;
        pending_.clear();
        throw Exception(QStringLiteral("Cannot write package \"%1\": %2").arg(path_, detail));
    } else {
        zip_ = nullptr;
    }
    pending_.clear();
}
