// Tabulo: start-up. The action module, the main window and the three tool windows live for the run.
#include "db_action.h"
#include "main_window.h"
#include "qt_messages.h"
#include "tool_windows.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tabulo"));
    InstallQtMessages();

    TkDBAction actions;
    TMain main(&actions);
    TMainSqlHost sqlHost(&main);
    TScript script(&sqlHost, &main);
    TDlgGenSQL genSQL(&sqlHost, &main);
    TDlgGenData genData(&main);
    main.setToolWindows(&script, &genSQL, &genData);
    main.show();
    return app.exec();
}
