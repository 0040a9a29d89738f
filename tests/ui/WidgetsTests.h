#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

// Each suite of the widget tests runs through one of these.
int RunFloatEditTests(int argc, char** argv);
int RunRandomFloatEditTests(int argc, char** argv);
int RunColorButtonTests(int argc, char** argv);
int RunObjectTreeTests(int argc, char** argv);

namespace kova::test {

// Shows a top-level window and waits until it is active, so that focus
// changes inside it happen as they do on a desktop.
inline bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

} // namespace kova::test
