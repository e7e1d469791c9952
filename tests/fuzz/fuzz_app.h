#pragma once
// The Qt application every fuzz target needs (text codecs, locale), made once for the whole run.
#include <QCoreApplication>

inline void EnsureFuzzApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}
