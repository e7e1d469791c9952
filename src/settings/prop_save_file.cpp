#include "prop_save_file.h"

#include "comp_config.h"
#include "exceptions.h"
#include "ini_values.h"
#include "messages.h"
#include "program_folder.h"
#include "zlib_stream.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {

// No settings file comes near this; a larger one, or one that inflates beyond it, is not loaded.
constexpr qsizetype kMaxSettingsBytes = qsizetype(64) << 20;

const QString kItemsCount = QStringLiteral("ItemsCount");
QString ItemKey(int i) {
    return QStringLiteral("Item%1").arg(i);
}

double ScreenDpi() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->logicalDotsPerInchY();
    return 96.0;
}

double PixelHeight(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * ScreenDpi() / 72.0;
}
double PointSize(const QFont& font) {
    return font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / ScreenDpi();
}

// The windows-style charset of a font; Qt fonts carry none, so the default charset is written.
constexpr int kDefaultCharset = 1;

} // namespace

TPropSaveFile::TPropSaveFile(QObject* owner) : QObject(owner) {}

TPropSaveFile::~TPropSaveFile() {
    if (content_ && !DisableAll) {
        if (OnSaveContent)
            OnSaveContent(this);
        else
            SaveFile();
    }
    // Never leave the program's default store pointing at a freed store.
    if (VemoCompConfig().Global_PropSaveFile == this) VemoCompConfig().Global_PropSaveFile = nullptr;
}

bool TPropSaveFile::UseAsGlobalFile() const {
    return VemoCompConfig().Global_PropSaveFile == this;
}

void TPropSaveFile::SetUseAsGlobalFile(bool on) {
    if (on)
        VemoCompConfig().Global_PropSaveFile = this;
    else if (UseAsGlobalFile())
        VemoCompConfig().Global_PropSaveFile = nullptr;
}

void TPropSaveFile::Loaded() {
    if (content_) return;
    if (OnLoadContent) {
        content_ = std::make_unique<TMemIniFileEx>();
        content_->Encoding = ChosenEncoding();
        OnLoadContent(this);
    } else {
        LoadFile();
    }
}

TMemIniFileEx& TPropSaveFile::Content() {
    if (!content_) Loaded();
    return *content_;
}

QString TPropSaveFile::Absolute(const QString& name) const {
    return QDir::cleanPath(QDir(ProgramFolder()).absoluteFilePath(name));
}

QString TPropSaveFile::DefaultFileName() const {
    QString base = QStringLiteral("tabulo");
    if (QCoreApplication::instance())
        base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return Absolute(base + (CompressFile ? QStringLiteral(".ini.compress") : QStringLiteral(".ini")));
}

QString TPropSaveFile::GetFileName() const {
    if (content_ && !content_->FileName.isEmpty()) return content_->FileName;
    return FileName.isEmpty() ? DefaultFileName() : Absolute(FileName);
}

TextEncoding TPropSaveFile::ChosenEncoding() const {
    TextEncoding encoding = SystemCodePage();
    if (OnGetIniFileEncoding) OnGetIniFileEncoding(encoding);
    return encoding;
}

void TPropSaveFile::LoadFile(const QString& fileName) {
    QString path = fileName;
    if (path.isEmpty() && content_) path = content_->FileName;
    if (path.isEmpty() && !FileName.isEmpty()) path = FileName;
    path = path.isEmpty() ? DefaultFileName() : Absolute(path);

    auto content = std::make_unique<TMemIniFileEx>();
    content->FileName = path;
    content->Encoding = ChosenEncoding();
    content->SetCompress(CompressFile);
    protectFile_ = false;

    QFile file(path);
    if (file.exists()) {
        QByteArray bytes;
        bool readable = file.open(QIODevice::ReadOnly);
        if (readable) {
            bytes = file.read(kMaxSettingsBytes + 1);
            readable = file.error() == QFileDevice::NoError;
        }
        QByteArray inflated;
        const Inflated state = !readable || !(CompressFile || LooksLikeZlib(bytes))
                                   ? Inflated::Broken
                                   : ZlibInflate(bytes, inflated, kMaxSettingsBytes);
        if (bytes.size() > kMaxSettingsBytes || state == Inflated::TooLarge) {
            // Not loaded: its owner sees why, and the file is kept as it is.
            Messages().information(
                QStringLiteral("Cannot open file \"%1\": its settings are larger than %2 MB.")
                    .arg(path)
                    .arg(kMaxSettingsBytes >> 20));
            protectFile_ = true;
        } else if (state == Inflated::Whole) {
            // Compressed, or compression was switched off: keep the settings, written back as asked.
            TextEncoding codePage = SystemCodePage();
            content->SetContentAsString(DecodeText(inflated, codePage));
        } else {
            // As INI text; a compressed file that does not inflate keeps what its text reading gives.
            content->SetContentAsString(DecodeText(bytes, content->Encoding));
            if (CompressFile || !readable) {
                Messages().information(QStringLiteral("Cannot open file \"%1\".").arg(path));
                protectFile_ = true;
            }
        }
    }
    content_ = std::move(content);
    protectedChanges_ = content_->ChangeCount();
}

bool TPropSaveFile::SaveFile(const QString& fileName) {
    if (!content_) return false;
    if (!fileName.isEmpty()) {
        FileName = fileName;
        content_->FileName = Absolute(fileName);
        protectFile_ = false;
    }
    if (DisableAll) return true;
    if (!FileName.isEmpty()) content_->FileName = Absolute(FileName);
    if (content_->FileName.isEmpty()) content_->FileName = DefaultFileName();
    if (protectFile_ && content_->ChangeCount() == protectedChanges_) return true;
    content_->SetCompress(CompressFile);
    try {
        content_->UpdateFile();
    } catch (const std::exception&) {
        Messages().information(QStringLiteral("Error during saving file \"%1\".").arg(content_->FileName));
        return false;
    }
    protectFile_ = false;
    return true;
}

QVariant TPropSaveFile::ReadVariant(const QString& section, const QString& key, const QVariant& def) {
    QString text;
    QVariant value = Content().Find(section, key, text) ? IniTextToValue(text, def) : def;
    if (OnReadValue) OnReadValue(section, key, value);
    return value;
}

void TPropSaveFile::WriteVariant(const QString& section, const QString& key, const QVariant& value) {
    QVariant v = value;
    if (OnWriteValue) OnWriteValue(section, key, v);
    if (IsNullValue(v))
        Content().DeleteKey(section, key);
    else
        Content().WriteString(section, key, ValueToIniText(v));
}

QString TPropSaveFile::ReadString(const QString& section, const QString& key, const QString& def) {
    return ReadVariant(section, key, def).toString();
}
void TPropSaveFile::WriteString(const QString& section, const QString& key, const QString& value) {
    WriteVariant(section, key, value);
}
int TPropSaveFile::ReadInteger(const QString& section, const QString& key, int def) {
    return ReadVariant(section, key, def).toInt();
}
void TPropSaveFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteVariant(section, key, value);
}
bool TPropSaveFile::ReadBool(const QString& section, const QString& key, bool def) {
    return ReadVariant(section, key, def).toBool();
}
void TPropSaveFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteVariant(section, key, value);
}
double TPropSaveFile::ReadFloat(const QString& section, const QString& key, double def) {
    return ReadVariant(section, key, def).toDouble();
}
void TPropSaveFile::WriteFloat(const QString& section, const QString& key, double value) {
    WriteVariant(section, key, value);
}
QDateTime TPropSaveFile::ReadDateTime(const QString& section, const QString& key, const QDateTime& def) {
    return ReadVariant(section, key, def).toDateTime();
}
void TPropSaveFile::WriteDateTime(const QString& section, const QString& key, const QDateTime& value) {
    WriteVariant(section, key, value);
}

void TPropSaveFile::WriteStrings(const QString& section, const QStringList& list) {
    const int old = ReadInteger(section, kItemsCount, 0);
    WriteInteger(section, kItemsCount, int(list.size()));
    for (int i = 0; i < list.size(); ++i)
        WriteString(section, ItemKey(i), list[i]);
    for (int i = old - 1; i >= int(list.size()); --i)
        DeleteKey(section, ItemKey(i));
}

bool TPropSaveFile::ReadStrings(const QString& section, QStringList& list) {
    if (!ValueExists(section, kItemsCount)) return false;
    int count = std::max(0, ReadInteger(section, kItemsCount, 0));
    // A damaged count larger than the section could hold is cut to the items really present.
    if (count > Content().KeyCount(section)) {
        int last = -1;
        for (const QString& key : Content().ReadSection(section)) {
            if (!key.startsWith(QLatin1String("Item"), Qt::CaseInsensitive)) continue;
            bool ok = false;
            const int i = key.mid(4).toInt(&ok);
            if (ok && i >= 0 && i < count) last = std::max(last, i);
        }
        count = last + 1;
    }
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines << ReadString(section, ItemKey(i));
    list = std::move(lines);
    return true;
}

void TPropSaveFile::DeleteStrings(const QString& section) {
    for (int i = ReadInteger(section, kItemsCount, 0) - 1; i >= 0; --i)
        DeleteKey(section, ItemKey(i));
    DeleteKey(section, kItemsCount);
}

void TPropSaveFile::WriteFont(const QString& section, const QFont& font, double scaleRatio,
                              const QColor& color) {
    if (scaleRatio <= 0) scaleRatio = 1.0;
    WriteInteger(section, QStringLiteral("FontCharset"), kDefaultCharset);
    WriteInteger(section, QStringLiteral("FontColor"), ColorToBgr(color));
    WriteString(section, QStringLiteral("FontName"), font.family());
    WriteInteger(section, QStringLiteral("FontHeight"), int(std::lround(PixelHeight(font) / scaleRatio)));
    WriteInteger(section, QStringLiteral("FontSize"), int(std::lround(PointSize(font) / scaleRatio)));
    const int style = (font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0) |
                      (font.strikeOut() ? 8 : 0);
    WriteInteger(section, QStringLiteral("FontStyle"), style);
}

void TPropSaveFile::ReadFont(const QString& section, QFont& font, double scaleRatio, QColor* color) {
    if (scaleRatio <= 0) scaleRatio = 1.0;
    if (color) {
        const int bgr = ReadInteger(section, QStringLiteral("FontColor"), ColorToBgr(*color));
        if (bgr != kNoColor) *color = BgrToColor(bgr);
    }
    const QString name = ReadString(section, QStringLiteral("FontName"), font.family());
    if (!name.isEmpty()) font.setFamily(name);
    if (ValueExists(section, QStringLiteral("FontHeight"))) {
        const int height = std::abs(ReadInteger(section, QStringLiteral("FontHeight"), 0));
        if (height > 0) font.setPixelSize(std::max(1, int(std::lround(height * scaleRatio))));
    } else if (ValueExists(section, QStringLiteral("FontSize"))) {
        const int size = ReadInteger(section, QStringLiteral("FontSize"), 0);
        if (size > 0) font.setPointSize(std::max(1, int(std::lround(size * scaleRatio))));
    }
    if (ValueExists(section, QStringLiteral("FontStyle"))) {
        const int style = ReadInteger(section, QStringLiteral("FontStyle"), 0);
        font.setBold(style & 1);
        font.setItalic(style & 2);
        font.setUnderline(style & 4);
        font.setStrikeOut(style & 8);
    }
}

void TPropSaveFile::DeleteFont(const QString& section) {
    for (const char* key : {"FontCharset", "FontColor", "FontName", "FontHeight", "FontSize", "FontStyle"})
        DeleteKey(section, QString::fromLatin1(key));
}

bool TPropSaveFile::SectionExists(const QString& section) {
    return Content().SectionExists(section);
}
bool TPropSaveFile::ValueExists(const QString& section, const QString& key) {
    return Content().ValueExists(section, key);
}
void TPropSaveFile::EraseSection(const QString& section) {
    Content().EraseSection(section);
}
void TPropSaveFile::DeleteKey(const QString& section, const QString& key) {
    Content().DeleteKey(section, key);
}

QStringList TPropSaveFile::GetStrings() {
    return Content().GetStrings();
}
void TPropSaveFile::SetStrings(const QStringList& lines) {
    Content().SetStrings(lines);
}
