#pragma once
// The program's settings store: an INI file held in memory, read when the store is loaded and written
// back when it is destroyed; plain or as one zlib stream.
#include "mem_ini_file.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class TPropSaveFile : public QObject {
    Q_OBJECT
public:
    explicit TPropSaveFile(QObject* owner = nullptr);
    ~TPropSaveFile() override;

    QString FileName; // a relative name is taken against the program folder
    bool CompressFile = false;
    bool DisableAll = false; // nothing is ever written to disk
    bool UseAsGlobalFile() const;
    void SetUseAsGlobalFile(bool on);

    // The owner supplies the content (through SetStrings) instead of the file being read.
    std::function<void(TPropSaveFile*)> OnLoadContent;
    // The owner takes the content (through GetStrings) instead of the file being written.
    std::function<void(TPropSaveFile*)> OnSaveContent;
    // May change every value after it has been read / before it is written.
    std::function<void(const QString& section, const QString& key, QVariant& value)> OnReadValue;
    std::function<void(const QString& section, const QString& key, QVariant& value)> OnWriteValue;
    // Chooses the encoding of a file without a byte-order mark.
    std::function<void(TextEncoding& encoding)> OnGetIniFileEncoding;

    // Reads the content once the properties are set. Any access loads it too when this was not called.
    void Loaded();

    // Typed access; a read returns def when the key is missing or its text does not convert.
    QVariant ReadVariant(const QString& section, const QString& key, const QVariant& def);
    void WriteVariant(const QString& section, const QString& key, const QVariant& value);
    QString ReadString(const QString& section, const QString& key, const QString& def = QString());
    void WriteString(const QString& section, const QString& key, const QString& value);
    int ReadInteger(const QString& section, const QString& key, int def);
    void WriteInteger(const QString& section, const QString& key, int value);
    bool ReadBool(const QString& section, const QString& key, bool def);
    void WriteBool(const QString& section, const QString& key, bool value);
    double ReadFloat(const QString& section, const QString& key, double def);
    void WriteFloat(const QString& section, const QString& key, double value);
    QDateTime ReadDateTime(const QString& section, const QString& key, const QDateTime& def);
    void WriteDateTime(const QString& section, const QString& key, const QDateTime& value);

    // String lists: "ItemsCount" and "Item0".."Item<n-1>". Reading leaves list as it was and returns false
    // when the section holds no "ItemsCount".
    void WriteStrings(const QString& section, const QStringList& list);
    bool ReadStrings(const QString& section, QStringList& list);
    void DeleteStrings(const QString& section);

    // Fonts: "FontCharset", "FontColor", "FontName", "FontHeight" and "FontSize" (divided by the scale
    // ratio when written, multiplied when read), "FontStyle" (bold 1, italic 2, underline 4, strike-out 8).
    void WriteFont(const QString& section, const QFont& font, double scaleRatio = 1.0,
                   const QColor& color = QColor(Qt::black));
    void ReadFont(const QString& section, QFont& font, double scaleRatio = 1.0, QColor* color = nullptr);
    void DeleteFont(const QString& section);

    bool SectionExists(const QString& section);
    bool ValueExists(const QString& section, const QString& key);
    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);

    // The whole content as INI lines, for an owner that loads or saves it itself.
    QStringList GetStrings();
    void SetStrings(const QStringList& lines);

    // Reads a file (name, else the content's file, else FileName, else the default file).
    void LoadFile(const QString& fileName = QString());
    // Writes the content; a given name becomes FileName. Shows "Error during saving file" and returns
    // false when the file cannot be written.
    bool SaveFile(const QString& fileName = QString());
    QString GetFileName() const;
    // The program's name with ".ini" (".ini.compress" when compressed) in the program folder.
    QString DefaultFileName() const;

    TMemIniFileEx& Content();

private:
    QString Absolute(const QString& name) const;
    TextEncoding ChosenEncoding() const;

    std::unique_ptr<TMemIniFileEx> content_;
    // A file that could not be read is not overwritten until new content has been written into the store.
    bool protectFile_ = false;
    uint64_t protectedChanges_ = 0;
};
