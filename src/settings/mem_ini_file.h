#pragma once
// The settings store's content: an INI file held completely in memory. Sections and keys keep their
// order and match without regard to letter case through hashed look-ups.
#include "ci_ordered_map.h"
#include "text_encoding.h"

#include <QString>
#include <QStringList>
#include <cstdint>

class TMemIniFileEx {
public:
    QString FileName;
    TextEncoding Encoding =
        SystemCodePage(); // of the uncompressed file; a compressed one is in the code page
    bool UseCompress = false;
    void SetCompress(bool on) { UseCompress = on; }

    // Reads value into out; false when the key does not exist. A key without "=" reads as empty.
    bool Find(const QString& section, const QString& key, QString& out) const;
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    void WriteString(const QString& section, const QString& key, const QString& value);
    bool SectionExists(const QString& section) const { return sections_.contains(section); }
    bool ValueExists(const QString& section, const QString& key) const;
    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);
    QStringList ReadSections() const;
    QStringList ReadSection(const QString& section) const; // the keys
    int KeyCount(const QString& section) const;
    void Clear();

    // The whole content as INI lines, and back (reading rules of the INI text).
    QStringList GetStrings() const;
    void SetStrings(const QStringList& lines);
    // The whole content as text, lines ending in CR LF.
    QString GetContentAsString() const;
    void SetContentAsString(const QString& text);

    // The file's bytes: the text in Encoding, or one zlib stream of the text in the code page.
    QByteArray ToBytes() const;
    // Writes ToBytes() to FileName through a temporary file renamed over the old one, so a failure
    // never leaves a truncated file. Throws Exception naming the file and the reason.
    void UpdateFile() const;

    // Counts every change of the content, so an owner can tell whether anything new was written.
    uint64_t ChangeCount() const { return changes_; }

private:
    struct Value {
        QString text;
        bool hasValue = true; // false for a line without "=", written back as it was
    };
    using Section = CiOrderedMap<Value>;

    void Parse(const QStringList& lines);
    CiOrderedMap<Section> sections_;
    uint64_t changes_ = 0;
};
