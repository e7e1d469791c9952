#pragma once
// A small SQLite table for the RTF report tests: five people, names with non-ASCII, astral and RTF
// special characters, memos as RTF, as a path and with a tag, and a 400 x 200 pixel JPEG photo in
// record 5.
#include "connection.h"
#include "query.h"
#include "test_util.h"

#include <QBuffer>
#include <QImage>
#include <QLocale>
#include <gtest/gtest.h>

inline QByteArray JpegBytes(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

inline QString PeopleSql() {
    return QStringLiteral("CREATE TABLE people (ID INTEGER, NAME TEXT, PRICE REAL, NOTE MEMO, PHOTO BLOB);\n"
                          "INSERT INTO people VALUES (1, 'Žluťoučký kůň', 1, 'Bold {\\b x}\\par ', NULL);\n"
                          "INSERT INTO people VALUES (2, 'Brace {x} and \\ back', 2.5, "
                          "'\\\\srv\\new\\report {draft}', NULL);\n"
                          "INSERT INTO people VALUES (3, 'Astral 😀 face', 3, 'id \\\\A.ID\\\\ in "
                          "{memo}\\\\iif(A.ID=3)\\\\, three\\\\elseiif\\\\x\\\\endiif\\\\', NULL);\n"
                          "INSERT INTO people VALUES (4, 'Plain', 40, NULL, NULL);\n"
                          "INSERT INTO people VALUES (5, 'Fifth', 5, NULL, X'%1');\n")
        .arg(QString::fromLatin1(JpegBytes(400, 200).toHex()));
}

// The RTF document around a body.
inline QString RtfDocument(const QString& body) {
    return QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\\f0\r\n") + body +
           QStringLiteral("\r\n}\r\n");
}

class PeopleDb : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        db = MakeSqliteDb(dir.path("people.sqlite"), PeopleSql());
        con.ConnectionString = "Provider=SQLite;Data Source=" + db;
        con.Open();
        people.Connection = &con;
        people.SQL = "SELECT * FROM people ORDER BY ID";
        people.Open();
    }
    TempDir dir;
    QString db;
    TADOConnection con;
    TADOQuery people;
};
