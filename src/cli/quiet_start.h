#pragma once
// tabulo-cli prints only its own messages. Made before the application object: Qt's own messages are
// dropped (a fatal one is still told), and without a desktop session a private runtime folder stands in
// for the missing one, removed again at the end.
#include <QByteArray>

class QuietStart {
public:
    QuietStart();
    ~QuietStart();
    QuietStart(const QuietStart&) = delete;
    QuietStart& operator=(const QuietStart&) = delete;

private:
    QByteArray runtimeDir_; // the folder made here (empty: the session's own was used)
};
