// Tabulo: start-up. The action module, the main window and the three tool windows live for the run.
// An argument names a database or connection file to open.
#include "db_action.h"
#include "exceptions.h"
#include "main_window.h"
#include "messages.h"
#include "qt_messages.h"
#include "tool_windows.h"

#include <QApplication>
#include <new>

namespace {
// An allocation that fails in an event handler is reported and the program goes on; every other
// exception is handled where it arises.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc& e) {
            Messages().error(ExceptionMessage(e));
            return false;
        }
    }
};
} // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tabulo"));
    InstallQtMessages();

    TkDBAction actions;
    TMain main(&actions);
    TMainSqlHost sqlHost(&main);
    TScript script(&sqlHost, &main);
    TDlgGenSQL genSQL(&sqlHost, &main);
    TDlgGenData genData(&sqlHost, &main);
    main.setToolWindows(&script, &genSQL, &genData);
    main.show();
    // "tabulo FILE": a database or connection file opens at once.
    if (const QStringList args = QApplication::arguments(); args.size() > 1) main.OpenFile(args.at(1));
    return app.exec();
}
