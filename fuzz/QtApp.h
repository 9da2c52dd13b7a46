#pragma once
// The client list is a widget: targets that drive it need an application object.
#include <QApplication>
#include <QByteArray>

namespace fuzzcheck {

inline void startQt() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
}

} // namespace fuzzcheck
