// Loading a large table through the main window's own load path: time until the total shows, until the
// rows are loaded, and until the grid has painted them; then scrolling to the end and sorting.
// Usage: bench_main_window DATABASE [TABLE] [TOP_THOUSANDS] [PNG]  (PNG: a picture of the loaded window)
#include "db_action.h"
#include "db_grid_ms.h"
#include "html_label.h"
#include "main_window.h"
#include "program_folder.h"
#include "scripted_messages.h"
#include "udl_file.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_main_window DATABASE [TABLE] [TOP_THOUSANDS]\n");
        return 2;
    }
    const QString db = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString table = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("bench");
    const int top = argc > 3 ? atoi(argv[3]) : 0;
    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    QDir().mkpath(folder.filePath("Connections"));
    QString udl = QFileInfo(db).completeBaseName();
    udl = udl.left(1).toUpper() + udl.mid(1) + QStringLiteral(".udl");
    WriteUdlFile(folder.filePath("Connections/" + udl), "Provider=SQLite;Data Source=" + db);
    ScopedScriptedMessages messages;

    TkDBAction actions;
    TMain main(&actions);
    main.resize(1200, 760);
    main.show();
    QApplication::processEvents();
    main.cbUDL_nostore->setEditText(udl);
    main.btConnectClick();
    main.chAutoOpen->setChecked(false);
    main.eTopRec->setValue(top);
    main.cbTables->setEditText(table);

    QElapsedTimer t;
    double countShown = -1;
    main.lInfo->OnGetParameter = [&](TkHTMLLabel*, QString& p) {
        main.lInfoGetParameter(p);
        if (countShown < 0 && main.qCount.Active() && !main.qData.Active())
            countShown = t.nsecsElapsed() / 1e6;
    };
    t.start();
    main.btOpenClick();
    const double loaded = t.nsecsElapsed() / 1e6;
    main.grData->viewport()->repaint();
    const double painted = t.nsecsElapsed() / 1e6;
    QElapsedTimer s;
    s.start();
    main.grData->verticalScrollBar()->setValue(main.grData->verticalScrollBar()->maximum());
    main.grData->viewport()->repaint();
    const double scrolled = s.nsecsElapsed() / 1e6;
    s.restart();
    main.grData->ChangeSort({"name"}, false);
    main.grData->viewport()->repaint();
    const double sorted = s.nsecsElapsed() / 1e6;
    if (argc > 4) {
        main.grData->ChangeSort({}, false);
        main.grData->scrollToTop();
        QApplication::processEvents();
        main.grab().save(QString::fromLocal8Bit(argv[4]));
    }
    for (const auto& m : messages.shown)
        std::fprintf(stderr, "%s: %s\n", qPrintable(m.kind), qPrintable(m.text));
    std::printf("rows=%d  total shown %.0f ms  rows loaded %.0f ms  first grid paint %.0f ms  "
                "scroll to end + paint %.1f ms  sort by name + paint %.0f ms\n",
                main.qData.RecordCount(), countShown, loaded, painted, scrolled, sorted);
    return 0;
}
