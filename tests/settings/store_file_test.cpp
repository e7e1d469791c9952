// The settings store on real files: plain and compressed forms, encodings, failures, and files read and
// written by Python's configparser and zlib.
#include "program_folder.h"
#include "prop_save_file.h"
#include "scripted_messages.h"
#include "test_util.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Runs a Python snippet; returns its standard output, failing the test on a non-zero exit.
QByteArray Python(const char* code, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("python3"), QStringList{"-c", QString::fromUtf8(code)} + args);
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

const char* kConfigParser = R"(
import configparser, json, sys
def parser():
    cp = configparser.ConfigParser(interpolation=None, allow_no_value=True, strict=False)
    cp.optionxform = str
    return cp
if sys.argv[1] == 'read':
    cp = parser()
    cp.read(sys.argv[2], encoding='utf-8')
    print(json.dumps({s: dict(cp.items(s, raw=True)) for s in cp.sections()}))
else:
    cp = parser()
    cp.read_dict(json.loads(sys.argv[3]))
    cp.set('Flags', 'bare', None)
    with open(sys.argv[2], 'w', encoding='utf-8') as f:
        cp.write(f)
)";

// Points the program folder at a temporary folder for the test's lifetime.
class StoreFiles : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = ProgramFolder();
        SetProgramFolder(dir_.path());
    }
    void TearDown() override { SetProgramFolder(saved_); }
    QString Path(const QString& name) const { return dir_.path(name); }

    TempDir dir_;
    ScopedScriptedMessages messages_;

private:
    QString saved_;
};

TEST_F(StoreFiles, RoundTripThroughRelativeFileName) {
    {
        TPropSaveFile store;
        store.FileName = "settings.ini";
        store.Loaded();
        store.WriteString("Main", "eTopRec", "10");
        store.WriteString("Main_XY", "Left", "5");
        EXPECT_EQ(store.GetFileName(), Path("settings.ini"));
    }
    EXPECT_EQ(ReadAll(Path("settings.ini")), "[Main]\r\neTopRec=10\r\n\r\n[Main_XY]\r\nLeft=5\r\n\r\n");
    TPropSaveFile again;
    again.FileName = "settings.ini";
    EXPECT_EQ(again.ReadInteger("main", "ETOPREC", 0), 10);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList({"settings.ini"})); // no temporary left
}

TEST_F(StoreFiles, DefaultFileIsProgramNameBesideProgram) {
    TPropSaveFile plain;
    EXPECT_EQ(plain.GetFileName(), Path("test_settings.ini"));
    TPropSaveFile compressed;
    compressed.CompressFile = true;
    EXPECT_EQ(compressed.GetFileName(), Path("test_settings.ini.compress"));
}

TEST_F(StoreFiles, MissingCompressedFileStartsEmptyAndWritesOneZlibStream) {
    QString text;
    {
        TPropSaveFile store;
        store.CompressFile = true;
        EXPECT_EQ(store.ReadInteger("S", "Count", 5), 5);
        store.WriteString("S", "Text", QStringLiteral("žluťoučký\ttab"));
        store.WriteStrings("L", {"a", "b"});
        text = store.Content().GetContentAsString();
    }
    const QString file = Path("test_settings.ini.compress");
    Python("import sys, zlib\nopen(sys.argv[2], 'wb').write(zlib.decompress(open(sys.argv[1], 'rb').read()))",
           {file, Path("inflated.ini")});
    EXPECT_EQ(ReadAll(Path("inflated.ini")), text.toUtf8());
    EXPECT_TRUE(text.contains(QStringLiteral("Text=žluťoučký_#9_tab")));

    TPropSaveFile again;
    again.CompressFile = true;
    EXPECT_EQ(again.ReadString("S", "Text"), QStringLiteral("žluťoučký\ttab"));
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(StoreFiles, UninflatableFileKeepsTextShowsMessageAndIsNotOverwrittenUnchanged) {
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QByteArray numbers;
    for (int i = 0; i < 2000; ++i)
        numbers += QByteArray::number(i * 7919 % 1000);
    const QByteArray full = qCompress(numbers).mid(4); // qCompress puts the length before the stream
    const QByteArray truncated = full.left(full.size() / 2);
    for (const Case& c : {Case{"plain text", "[S]\r\nk=v\r\n"}, Case{"truncated stream", truncated}}) {
        SCOPED_TRACE(c.name);
        const QString file = Path("c.ini");
        WriteAll(file, c.bytes);
        messages_.clear();
        {
            TPropSaveFile store;
            store.FileName = "c.ini";
            store.CompressFile = true;
            store.Loaded();
            ASSERT_EQ(messages_.log(),
                      QStringList({QStringLiteral("information: Cannot open file \"%1\".").arg(file)}));
            if (c.bytes.startsWith('[')) EXPECT_EQ(store.ReadString("S", "k"), "v");
        }
        EXPECT_EQ(ReadAll(file), c.bytes);
    }
    {
        TPropSaveFile store; // new content replaces the file, compressed
        store.FileName = "c.ini";
        store.CompressFile = true;
        store.WriteString("S", "new", "1");
    }
    TPropSaveFile again;
    again.FileName = "c.ini";
    again.CompressFile = true;
    EXPECT_EQ(again.ReadString("S", "new"), "1");
}

// A file no settings file comes near (too large, or inflating beyond that) is not loaded: a message
// says why, the program goes on with defaults, and the file stays as it was.
TEST_F(StoreFiles, OversizedFilesAreRefusedAndKept) {
    const QByteArray huge = "[S]\r\nk=" + QByteArray((64 << 20) + 1, 'v') + "\r\n";
    const QByteArray bomb = qCompress(huge, 9).mid(4); // a zlib stream of 64 KB
    struct Case {
        const char* name;
        QByteArray bytes;
        bool compressed;
    };
    for (const Case& c : {Case{"plain text", huge, false}, Case{"compressed", bomb, true},
                          Case{"compressed, compression off", bomb, false}}) {
        SCOPED_TRACE(c.name);
        const QString file = Path("big.ini");
        WriteAll(file, c.bytes);
        messages_.clear();
        {
            TPropSaveFile store;
            store.FileName = "big.ini";
            store.CompressFile = c.compressed;
            EXPECT_EQ(store.ReadString("S", "k", "default"), "default");
            EXPECT_EQ(messages_.log(),
                      QStringList({QStringLiteral("information: Cannot open file \"%1\": its "
                                                  "settings are larger than 64 MB.")
                                       .arg(file)}));
        }
        EXPECT_EQ(QFileInfo(file).size(), c.bytes.size());
    }
}

TEST_F(StoreFiles, SwitchingCompressionOffKeepsSettings) {
    {
        TPropSaveFile store;
        store.FileName = "s.ini";
        store.CompressFile = true;
        store.WriteInteger("S", "Count", 3);
    }
    {
        TPropSaveFile store;
        store.FileName = "s.ini";
        EXPECT_EQ(store.ReadInteger("S", "Count", 0), 3);
    }
    EXPECT_EQ(ReadAll(Path("s.ini")), "[S]\r\nCount=3\r\n\r\n");
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(StoreFiles, DisableAllNeverChangesTheFile) {
    WriteAll(Path("d.ini"), "[S]\r\nk=old\r\n");
    {
        TPropSaveFile store;
        store.FileName = "d.ini";
        store.DisableAll = true;
        EXPECT_EQ(store.ReadString("S", "k"), "old");
        store.WriteString("S", "k", "new");
        EXPECT_TRUE(store.SaveFile());
    }
    EXPECT_EQ(ReadAll(Path("d.ini")), "[S]\r\nk=old\r\n");
}

TEST_F(StoreFiles, FailedWriteShowsMessageAndKeepsContent) {
    TPropSaveFile store;
    store.FileName = Path("no/such/folder/x.ini");
    store.WriteString("S", "k", "v");
    EXPECT_FALSE(store.SaveFile());
    EXPECT_EQ(
        messages_.log(),
        QStringList({QStringLiteral("information: Error during saving file \"%1\".").arg(store.FileName)}));
    EXPECT_EQ(store.ReadString("S", "k"), "v");
    store.DisableAll = true; // no second message from the destructor
}

TEST_F(StoreFiles, SaveUnderNewNameAndReload) {
    TPropSaveFile store;
    store.FileName = "a.ini";
    store.WriteString("S", "k", "1");
    EXPECT_TRUE(store.SaveFile("b.ini"));
    EXPECT_EQ(store.FileName, "b.ini");
    EXPECT_EQ(store.GetFileName(), Path("b.ini"));
    WriteAll(Path("c.ini"), "[Other]\r\nx=2\r\n");
    store.LoadFile("c.ini"); // earlier content is discarded
    EXPECT_FALSE(store.SectionExists("S"));
    EXPECT_EQ(store.ReadInteger("Other", "x", 0), 2);
    store.DisableAll = true;
}

TEST_F(StoreFiles, OwnerSuppliesAndTakesContent) {
    QStringList taken;
    {
        TPropSaveFile store;
        store.OnLoadContent = [](TPropSaveFile* s) { s->SetStrings({"[S]", "k=from owner"}); };
        store.OnSaveContent = [&](TPropSaveFile* s) { taken = s->GetStrings(); };
        EXPECT_EQ(store.ReadString("S", "k"), "from owner");
        store.WriteString("S", "n", "2");
    }
    EXPECT_EQ(taken, QStringList({"[S]", "k=from owner", "n=2", ""}));
    EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
}

struct EncodingCase {
    const char* name;
    QByteArray bytes;   // the file as found
    const char* chosen; // OnGetIniFileEncoding's choice, or null
    QString value;      // [S] k as read
    QByteArray written; // the file after adding [S] n=1
};

class StoreEncoding : public StoreFiles, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(StoreEncoding, ReadsAndWritesBackInTheSameEncoding) {
    const EncodingCase& c = GetParam();
    WriteAll(Path("e.ini"), c.bytes);
    {
        TPropSaveFile store;
        store.FileName = "e.ini";
        if (c.chosen)
            store.OnGetIniFileEncoding = [&](TextEncoding& e) { e = TextEncoding{c.chosen, false}; };
        EXPECT_EQ(store.ReadString("S", "k"), c.value);
        store.WriteInteger("S", "n", 1);
    }
    EXPECT_EQ(ReadAll(Path("e.ini")), c.written);
}

QByteArray Utf16(const QString& text, bool le) {
    QByteArray out;
    for (QChar ch : text) {
        const char lo = char(ch.unicode() & 0xFF), hi = char(ch.unicode() >> 8);
        out += le ? QByteArray{&lo, 1} + QByteArray{&hi, 1} : QByteArray{&hi, 1} + QByteArray{&lo, 1};
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Boms, StoreEncoding,
    ::testing::Values(EncodingCase{"Utf8Bom", "\xEF\xBB\xBF[S]\r\nk=\xC4\x8D\r\n", nullptr,
                                   QStringLiteral("č"), "\xEF\xBB\xBF[S]\r\nk=\xC4\x8D\r\nn=1\r\n\r\n"},
                      EncodingCase{"Utf16LeBom", "\xFF\xFE" + Utf16(QStringLiteral("[S]\r\nk=č\r\n"), true),
                                   nullptr, QStringLiteral("č"),
                                   "\xFF\xFE" + Utf16(QStringLiteral("[S]\r\nk=č\r\nn=1\r\n\r\n"), true)},
                      EncodingCase{"Utf16BeBom", "\xFE\xFF" + Utf16(QStringLiteral("[S]\r\nk=č\r\n"), false),
                                   nullptr, QStringLiteral("č"),
                                   "\xFE\xFF" + Utf16(QStringLiteral("[S]\r\nk=č\r\nn=1\r\n\r\n"), false)},
                      EncodingCase{"NoBomIsUtf8", "[S]\r\nk=\xC4\x8D\r\n", nullptr, QStringLiteral("č"),
                                   "[S]\r\nk=\xC4\x8D\r\nn=1\r\n\r\n"},
                      EncodingCase{"InvalidUtf8ReadAsLatin1", "[S]\r\nk=caf\xE9\r\n", nullptr,
                                   QStringLiteral("café"), "[S]\r\nk=caf\xC3\xA9\r\nn=1\r\n\r\n"},
                      EncodingCase{"ChosenCodePage", "[S]\r\nk=\xE8\r\n", "ISO-8859-2", QStringLiteral("č"),
                                   "[S]\r\nk=\xE8\r\nn=1\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreFiles, ConfigParserReadsWhatWeWrite) {
    {
        TPropSaveFile store;
        store.FileName = "ours.ini";
        store.WriteString("Main", "eTopRec", "10");
        store.WriteString("Main", "Filter", QStringLiteral("[Name] LIKE 'a%'\r\nAND [x]=1"));
        store.WriteString("Main", "Path", "C:\\data; #1 = ok");
        store.WriteBool("Main", "chAutoOpen", true);
        store.WriteStrings("Main.mSQL", {"SELECT *", "  FROM t", ""});
        store.WriteString(QStringLiteral("Žluť"), QStringLiteral("Kůň"), QStringLiteral("ó"));
        store.SetStrings(store.GetStrings() << "[Flags]"
                                            << "bare");
    }
    const QJsonObject python =
        QJsonDocument::fromJson(Python(kConfigParser, {"read", Path("ours.ini")})).object();
    TPropSaveFile back;
    back.FileName = "ours.ini";
    QJsonObject ours;
    for (const QString& section : back.Content().ReadSections()) {
        QJsonObject keys;
        for (const QString& key : back.Content().ReadSection(section)) {
            const bool bare = back.Content().GetStrings().contains(key);
            keys[key] = bare ? QJsonValue() : QJsonValue(back.Content().ReadString(section, key, ""));
        }
        ours[section] = keys;
    }
    EXPECT_EQ(python, ours) << QJsonDocument(python).toJson().toStdString();
    EXPECT_EQ(python["Main"].toObject()["Filter"].toString(), "[Name] LIKE 'a%'_#13__#10_AND [x]=1");
    back.DisableAll = true;
}

TEST_F(StoreFiles, WeReadWhatConfigParserWrites) {
    const QByteArray json = R"({"Main": {"eTopRec": "10", "Text": "a_#9_b", "Mixed": "Ab = c"},
                                "Main.mSQL": {"ItemsCount": "2", "Item0": "x", "Item1": "y"},
                                "Flags": {}})";
    Python(kConfigParser, {"write", Path("theirs.ini"), QString::fromUtf8(json)});
    TPropSaveFile store;
    store.FileName = "theirs.ini";
    EXPECT_EQ(store.ReadInteger("main", "etoprec", 0), 10);
    EXPECT_EQ(store.ReadString("Main", "Text"), "a\tb");
    EXPECT_EQ(store.ReadString("Main", "Mixed"), "Ab = c");
    QStringList lines;
    EXPECT_TRUE(store.ReadStrings("Main.mSQL", lines));
    EXPECT_EQ(lines, QStringList({"x", "y"}));
    EXPECT_TRUE(store.ValueExists("Flags", "bare"));
    store.DisableAll = true;
}

} // namespace
