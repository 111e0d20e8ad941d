#pragma once

#include <QApplication>

#include <cstdlib>

namespace test_support {

// offscreenApplication: the process's one QApplication, on Qt's offscreen platform, so that
// widgets can be made and laid out without a display. Made on the first call.
inline QApplication& offscreenApplication() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "vantor_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

}  // namespace test_support
