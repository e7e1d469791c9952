#include "quiet_start.h"

#include <QDir>
#include <cstdio>
#include <cstdlib>

namespace {
void dropQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) std::fprintf(stderr, "tabulo-cli: %s\n", message.toLocal8Bit().constData());
}
} // namespace

QuietStart::QuietStart() {
    qInstallMessageHandler(dropQtMessages);
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
    QByteArray dir = QFile::encodeName(QDir::tempPath()) + "/tabulo-cli-XXXXXX";
    if (!mkdtemp(dir.data())) return; // mode 0700, as the runtime folder must be
    runtimeDir_ = dir;
    qputenv("XDG_RUNTIME_DIR", runtimeDir_);
}

QuietStart::~QuietStart() {
    if (!runtimeDir_.isEmpty()) QDir(QFile::decodeName(runtimeDir_)).removeRecursively();
}
