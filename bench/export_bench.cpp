// Times the text and SYLK engines on 1 M rows x 10 columns loaded in memory, against the sqlite3
// shell's CSV output of the same table, in one run. Reports only.
//   bench_export [BUILD_DIR] [ROWS]
#include "connection.h"
#include "query.h"
#include "slk_export.h"
#include "txt_export.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>
#include <functional>

namespace {
// Peak and current resident memory of this process in MB (VmHWM, VmRSS).
double ProcMb(const char* key) {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(strlen(key))).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

void ResetPeak() {
    QFile f("/proc/self/clear_refs");
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

double Best(int runs, const std::function<void()>& fn) {
    double best = 1e100;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString build = argc > 1 ? argv[1] : "build";
    QString rows = argc > 2 ? argv[2] : "1000000";
    QString db = build + "/bench.sqlite";
    if (QProcess::execute("python3",
                          {QStringLiteral(TABULO_SOURCE_DIR) + "/bench/make_bench_db.py", db, rows}) != 0)
        return 1;
    TADOConnection con;
    con.ConnectionString = "Provider=SQLite;Data Source=" + db;
    con.Open();
    TADOQuery q(&con);
    q.SQL = "SELECT * FROM bench";
    q.Open();
    const QString out = build + "/bench_export.out";
    std::printf("rows=%d columns=%d loaded, RSS %.0f MB\n", q.RecordCount(), q.FieldCount(),
                ProcMb("VmRSS:"));

    double peer = Best(3, [&] {
        QProcess p;
        p.setStandardOutputFile(out);
        p.start("sqlite3", {"-csv", "-header", db, "SELECT * FROM bench"});
        p.waitForFinished(-1);
    });
    qint64 peerSize = QFileInfo(out).size();

    ResetPeak();
    double before = ProcMb("VmRSS:");
    double text = Best(3, [&] {
        TTXTExport e;
        e.ExportFile = out;
        e.ActionAfter = aaNone;
        e.FillChar = QChar(0);
        e.FieldSeparator = ",";
        e.TextApostrophe = "\"";
        e.Execute(&q);
    });
    qint64 textSize = QFileInfo(out).size();
    double textPeak = ProcMb("VmHWM:") - before;

    ResetPeak();
    double sylk = Best(3, [&] {
        TSLKExport e;
        e.ExportFile = out;
        e.ActionAfter = aaNone;
        e.MakeSumRow = true;
        e.Execute(&q);
    });
    qint64 sylkSize = QFileInfo(out).size();
    double sylkPeak = ProcMb("VmHWM:") - before;
    QFile::remove(out);

    std::printf("sqlite3 -csv:        %.3f s  %6.1f MB\n", peer, peerSize / 1e6);
    std::printf("text (delimited):    %.3f s  %6.1f MB  ratio to sqlite3 %.2fx  memory +%.0f MB\n", text,
                textSize / 1e6, text / peer, textPeak);
    std::printf("SYLK (with sums):    %.3f s  %6.1f MB  ratio to our text %.2fx  memory +%.0f MB\n", sylk,
                sylkSize / 1e6, sylk / text, sylkPeak);
    return 0;
}
