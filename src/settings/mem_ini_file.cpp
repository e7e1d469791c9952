#include "mem_ini_file.h"

#include "exceptions.h"
#include "zlib_stream.h"

#include <QRegularExpression>
#include <QSaveFile>

bool TMemIniFileEx::Find(const QString& section, const QString& key, QString& out) const {
    const Section* s = sections_.find(section);
    if (!s) return false;
    const Value* v = s->find(key);
    if (!v) return false;
    out = v->text;
    return true;
}

QString TMemIniFileEx::ReadString(const QString& section, const QString& key, const QString& def) const {
    QString value;
    return Find(section, key, value) ? value : def;
}

void TMemIniFileEx::WriteString(const QString& section, const QString& key, const QString& value) {
    Value& v = sections_.obtain(section).obtain(key);
    v.text = value;
    v.hasValue = true;
    ++changes_;
}

bool TMemIniFileEx::ValueExists(const QString& section, const QString& key) const {
    const Section* s = sections_.find(section);
    return s && s->contains(key);
}

void TMemIniFileEx::EraseSection(const QString& section) {
    if (sections_.remove(section)) ++changes_;
}

void TMemIniFileEx::DeleteKey(const QString& section, const QString& key) {
    if (Section* s = sections_.find(section); s && s->remove(key)) ++changes_;
}

QStringList TMemIniFileEx::ReadSections() const {
    QStringList names;
    sections_.forEach([&](const QString& name, const Section&) { names << name; });
    return names;
}

QStringList TMemIniFileEx::ReadSection(const QString& section) const {
    QStringList keys;
    if (const Section* s = sections_.find(section))
        s->forEach([&](const QString& key, const Value&) { keys << key; });
    return keys;
}

int TMemIniFileEx::KeyCount(const QString& section) const {
    const Section* s = sections_.find(section);
    return s ? int(s->size()) : 0;
}

void TMemIniFileEx::Clear() {
    sections_.clear();
    ++changes_;
}

QStringList TMemIniFileEx::GetStrings() const {
    QStringList lines;
    sections_.forEach([&](const QString& name, const Section& s) {
        lines << QLatin1Char('[') + name + QLatin1Char(']');
        s.forEach([&](const QString& key, const Value& v) {
            lines << (v.hasValue ? key + QLatin1Char('=') + v.text : key);
        });
        lines << QString();
    });
    return lines;
}

void TMemIniFileEx::SetStrings(const QStringList& lines) {
    sections_.clear();
    Parse(lines);
    ++changes_;
}

// Lines are trimmed; empty lines and ";" comments are skipped; "[name]" opens a section (a repeated
// section continues the first one); key=value pairs are trimmed on both sides; a repeated key keeps its
// first value; lines before the first section are ignored.
void TMemIniFileEx::Parse(const QStringList& lines) {
    Section* current = nullptr;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = &sections_.obtain(line.mid(1, line.size() - 2).trimmed());
            continue;
        }
        if (!current) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? line : line.left(eq).trimmed();
        if (current->contains(key)) continue;
        Value& v = current->obtain(key);
        v.hasValue = eq >= 0;
        if (v.hasValue) v.text = line.mid(eq + 1).trimmed();
    }
}

QString TMemIniFileEx::GetContentAsString() const {
    QString text;
    for (const QString& line : GetStrings())
        text += line + QLatin1String("\r\n");
    return text;
}

void TMemIniFileEx::SetContentAsString(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    SetStrings(text.split(breaks));
}

QByteArray TMemIniFileEx::ToBytes() const {
    if (UseCompress) return ZlibCompress(EncodeText(GetContentAsString(), SystemCodePage()));
    return EncodeText(GetContentAsString(), Encoding);
}

void TMemIniFileEx::UpdateFile() const {
    const QByteArray bytes = ToBytes();
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Exception(QStringLiteral("Cannot write file \"%1\": %2").arg(FileName, file.errorString()));
}
