// Column aggregates of a loaded view against the sqlite3 shell computing the same figures in SQL, the
// value list of a text column against the shell's GROUP BY, find next over the whole view, and the
// time to paint one screen of a grid with five cell conditions.
// Usage: bench_summary [ROWS] [DATABASE]  (default 1000000 rows in a temporary database)
#include "column_filter.h"
#include "connection.h"
#include "db_grid.h"
#include "find_search.h"
#include "query.h"
#include "scripted_messages.h"
#include "summary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {
const char* const kColumns[] = {"i1", "i2", "i3", "f1", "f2", "f3", "d", "b", "t1", "t2"};

void makeDatabase(const QString& path, int rows) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; DROP TABLE IF EXISTS bench;"
                 "CREATE TABLE bench (i1 INTEGER, i2 INTEGER, i3 INTEGER, f1 FLOAT, f2 FLOAT, f3 FLOAT,"
                 " d DATE, b BOOLEAN, t1 TEXT, t2 TEXT); BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO bench VALUES (?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    uint64_t x = 88172645463325252ull;
    auto next = [&x] {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        return x;
    };
    char date[16], t1[32], t2[32];
    for (int r = 0; r < rows; ++r) {
        sqlite3_bind_int64(st, 1, int64_t(next() % 1000000));
        sqlite3_bind_int64(st, 2, int64_t(next() % 100));
        if (next() % 10 == 0)
            sqlite3_bind_null(st, 3); // some NULLs
        else
            sqlite3_bind_int64(st, 3, int64_t(next() % 5000) - 2500);
        sqlite3_bind_double(st, 4, double(next() % 10000000) / 100.0);
        sqlite3_bind_double(st, 5, double(next() % 1000) / 8.0);
        sqlite3_bind_double(st, 6, double(next() % 100));
        std::snprintf(date, sizeof date, "20%02d-%02d-%02d", int(next() % 30), int(next() % 12) + 1,
                      int(next() % 28) + 1);
        sqlite3_bind_text(st, 7, date, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 8, int(next() % 2));
        std::snprintf(t1, sizeof t1, "city %d", int(next() % 500));
        std::snprintf(t2, sizeof t2, "customer %llu", (unsigned long long)(next() % 200000));
        if (r == rows - 1) std::snprintf(t2, sizeof t2, "the last customer"); // what find looks for
        sqlite3_bind_text(st, 9, t1, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 10, t2, -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median wall time of three runs of the sqlite3 shell over the database; negative when it failed.
double shellTime(const QString& path, const QString& sql) {
    std::vector<double> runs;
    for (int i = 0; i < 3; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(QStringLiteral("sqlite3"), {path, sql});
        p.waitForFinished(-1);
        runs.push_back(double(t.nsecsElapsed()) / 1e6);
        if (p.exitCode() != 0) {
            std::fprintf(stderr, "sqlite3: %s\n", p.readAllStandardError().constData());
            return -1;
        }
    }
    return median(runs);
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ScopedScriptedMessages messages;
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    QTemporaryDir tmp;
    QString path = argc > 2 ? QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath()
                            : tmp.filePath(QStringLiteral("summary.sqlite"));
    if (!QFileInfo::exists(path)) makeDatabase(path, rows);

    TADOConnection con;
    con.ConnectionString = "Provider=SQLite;Data Source=" + path;
    con.Open();
    TADOQuery q(&con);
    q.SQL = QStringLiteral("SELECT * FROM bench");
    q.Open();
    std::vector<TField*> fields;
    for (const char* c : kColumns)
        fields.push_back(q.FieldByName(QString::fromLatin1(c)));

    // Ours: every aggregate of the ten columns, distinct values included, straight from the store.
    std::vector<double> ours;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        std::vector<TSummaryResults> r = ComputeSummaries(q, fields, {}, true);
        ours.push_back(double(t.nsecsElapsed()) / 1e6);
        if (r.size() != fields.size()) return 1;
    }

    // The peer: the sqlite3 shell computing the same figures over the same columns.
    QStringList parts;
    for (const char* c : kColumns)
        parts << QStringLiteral("sum(%1), min(%1), max(%1), avg(%1), count(%1), count(DISTINCT %1)").arg(c);
    const QString sql = QStringLiteral("SELECT %1 FROM bench;").arg(parts.join(QStringLiteral(", ")));
    const double s = shellTime(path, sql);
    if (s < 0) return 1;

    // The value list of a text column (200,000 distinct values) against GROUP BY in the shell.
    TField* t2 = q.FieldByName(QStringLiteral("t2"));
    std::vector<double> list;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (DistinctValues(q, t2).isEmpty()) return 1;
        list.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double l = median(list);
    const double ls =
        shellTime(path, QStringLiteral("SELECT t2, count(*) FROM bench GROUP BY t2 ORDER BY t2;"));
    if (ls < 0) return 1;

    // Find next from the first record to the value only the last record holds.
    FindOptions find;
    find.text = NormalizeFindText(QStringLiteral("the last customer"), false, false);
    find.match = FindMatch::WholeField;
    std::vector<double> finds;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (FindInDataSet(q, {t2}, find, 0, true).position != q.RecordCount() - 1) return 1;
        finds.push_back(double(t.nsecsElapsed()) / 1e6);
    }

    // One screen of a grid with five conditions, painted off screen.
    TDataSource source;
    source.setDataSet(&q);
    TkDBGrid grid;
    grid.resize(1200, 800);
    grid.setDataSource(&source);
    auto cond = [](const char* field, TCellParamsCondOperators op, const char* value, int bk) {
        TCellParamsCond c;
        c.FieldName = QString::fromLatin1(field);
        c.CondOperator = op;
        c.Value = QString::fromLatin1(value);
        c.BkColor = bk;
        return c;
    };
    TCellParamsCond whole = cond("i2", cpoLess, "10", 0xC0DCC0);
    whole.WholeRow = true;
    grid.CellParamsConditions.SetItems(
        {whole, cond("f1", cpoGreater, "=AVG(f1)", 0x00FFFF), cond("t1", cpoContain, "city 1", 0xF0CAA6),
         cond("d", cpoLess, "=$Date", 0x0000FF), cond("i3", cpoEqual, "", 0x808080)});
    grid.SetCellConditionActive(true);
    grid.show();
    QCoreApplication::processEvents();
    QImage screen(grid.size(), QImage::Format_ARGB32);
    std::vector<double> paintOff, paintOn;
    for (int i = 0; i < 7; ++i) {
        for (bool on : {false, true}) {
            grid.SetCellConditionActive(on);
            QElapsedTimer t;
            t.start();
            grid.render(&screen);
            (on ? paintOn : paintOff).push_back(double(t.nsecsElapsed()) / 1e6);
        }
    }

    const double o = median(ours);
    std::printf("rows %d x %zu columns\n", rows, fields.size());
    std::printf("aggregates (ours, distinct included): %.1f ms\n", o);
    std::printf("sqlite3 shell, same figures:          %.1f ms\n", s);
    std::printf("ratio ours / sqlite3: %.2f\n", o / s);
    std::printf("value list of t2 (ours): %.1f ms; sqlite3 GROUP BY t2 ORDER BY t2: %.1f ms; ratio %.2f\n", l,
                ls, l / ls);
    std::printf("find next over the view (match in the last record): %.1f ms\n", median(finds));
    std::printf("paint one screen (1200x800): %.2f ms without conditions, %.2f ms with five\n",
                median(paintOff), median(paintOn));
    return 0;
}
