#include "find_search.h"

#include "lookup_filter.h"

#include "dataset.h"

#include <memory>
#include <string_view>

QString NormalizeFindText(const QString& text, bool caseSensitive, bool ignoreDiacritics) {
    QString s = caseSensitive ? text : text.toUpper();
    if (!ignoreDiacritics) return s;
    const QString decomposed = s.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing) continue;
        out += c.unicode() < 128 ? c : QChar('?');
    }
    return out;
}

namespace {
bool isAscii(std::string_view s) {
    for (const unsigned char c : s)
        if (c >= 128) return false;
    return true;
}

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// Byte comparison of an ASCII value with an already normalised needle; `fold` upper-cases the value.
bool matchBytes(std::string_view value, std::string_view needle, FindMatch match, bool fold) {
    auto eqAt = [&](size_t at) {
        for (size_t i = 0; i < needle.size(); ++i)
            if ((fold ? upperAscii(value[at + i]) : value[at + i]) != needle[i]) return false;
        return true;
    };
    switch (match) {
    case FindMatch::WholeField:
        return value.size() == needle.size() && eqAt(0);
    case FindMatch::Beginning:
        return !needle.empty() && value.size() >= needle.size() && eqAt(0);
    case FindMatch::AnyPart:
        if (needle.empty() || value.size() < needle.size()) return false;
        if (!fold) return value.find(needle) != std::string_view::npos;
        for (size_t at = 0; at + needle.size() <= value.size(); ++at)
            if (eqAt(at)) return true;
        return false;
    }
    return false;
}

bool matchText(const QString& value, const QString& needle, FindMatch match) {
    switch (match) {
    case FindMatch::WholeField:
        return value == needle;
    case FindMatch::Beginning:
        return !needle.isEmpty() && value.startsWith(needle);
    case FindMatch::AnyPart:
        return !needle.isEmpty() && value.contains(needle);
    }
    return false;
}

// One searched field: how its values are read and compared.
struct Probe {
    const TField* field = nullptr;
    const Column* column = nullptr; // text column read as bytes
    std::unique_ptr<TField> plain;  // the field without its display format, for other types
    // A lookup over one key: whether each key's shown value matches, decided once per key.
    const TField* lookupKey = nullptr;
    QHash<QString, bool> keyHits;
    bool noKeyHit = false; // a NULL key or one the lookup does not hold: shows nothing
};
} // namespace

QString FindValueText(const TDataSet& ds, const TField* field, int position) {
    const QVariant v = ds.valueAt(field, position);
    if (!v.isValid()) return QString();
    if (field->DisplayFormat.isEmpty()) return field->formatValue(v);
    TField plain(*field);
    plain.DisplayFormat.clear();
    return plain.formatValue(v);
}

FindHit FindInDataSet(const TDataSet& ds, const QList<TField*>& fields, const FindOptions& options, int from,
                      bool forward) {
    const QString needle = NormalizeFindText(options.text, options.caseSensitive, options.ignoreDiacritics);
    const QByteArray needleUtf8 = needle.toUtf8();
    const std::string_view needleBytes(needleUtf8.constData(), size_t(needleUtf8.size()));
    const bool exactBytes = options.caseSensitive && !options.ignoreDiacritics;

    std::vector<Probe> probes;
    for (TField* f : fields) {
        Probe p;
        p.field = f;
        if (f->column() >= 0 && StorageOf(f->DataType) == StorageKind::Text)
            p.column = &ds.store().column(size_t(f->column()));
        else if (!f->DisplayFormat.isEmpty()) {
            p.plain = std::make_unique<TField>(*f);
            p.plain->DisplayFormat.clear();
        }
        if ((p.lookupKey = SingleLookupKey(f))) {
            const TField* shownAs = p.plain ? p.plain.get() : f;
            auto matches = [&](const QVariant& v) {
                const QString text = v.isValid() ? shownAs->formatValue(v) : QString();
                return matchText(NormalizeFindText(text, options.caseSensitive, options.ignoreDiacritics),
                                 needle, options.match);
            };
            const QHash<QString, QVariant> shown = LookupShownByKey(f);
            for (auto it = shown.begin(); it != shown.end(); ++it)
                p.keyHits.insert(it.key(), matches(it.value()));
            p.noKeyHit = matches(QVariant());
        }
        probes.push_back(std::move(p));
    }
    const TextArena& arena = ds.store().arena();
    const int count = ds.RecordCount();
    const int step = forward ? 1 : -1;
    for (int pos = from; pos >= 0 && pos < count; pos += step) {
        const uint32_t row = ds.rowIdAt(pos);
        for (int i = 0; i < int(probes.size()); ++i) {
            const Probe& p = probes[size_t(i)];
            bool hit;
            if (p.column && !p.column->isOtherClass(row)) {
                const std::string_view v =
                    p.column->isNull(row) ? std::string_view() : p.column->bytesAt(row, arena);
                // UTF-8 bytes compare exactly as the characters do; ASCII values fold by bytes too.
                if (exactBytes)
                    hit = matchBytes(v, needleBytes, options.match, false);
                else if (isAscii(v))
                    hit = matchBytes(v, needleBytes, options.match, !options.caseSensitive);
                else
                    hit = matchText(NormalizeFindText(QString::fromUtf8(v.data(), qsizetype(v.size())),
                                                      options.caseSensitive, options.ignoreDiacritics),
                                    needle, options.match);
            } else if (p.lookupKey) {
                const QVariant key = ds.valueOfRow(p.lookupKey, row);
                hit = key.isValid() ? p.keyHits.value(LookupKeyText(key), p.noKeyHit) : p.noKeyHit;
            } else {
                const QVariant v = ds.valueOfRow(p.field, row);
                const TField* f = p.plain ? p.plain.get() : p.field;
                const QString text = v.isValid() ? f->formatValue(v) : QString();
                hit = matchText(NormalizeFindText(text, options.caseSensitive, options.ignoreDiacritics),
                                needle, options.match);
            }
            if (hit) return {pos, i};
        }
    }
    return {};
}
