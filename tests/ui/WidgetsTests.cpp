#include "WidgetsTests.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    failures += RunFloatEditTests(argc, argv);
    failures += RunRandomFloatEditTests(argc, argv);
    failures += RunColorButtonTests(argc, argv);
    failures += RunObjectTreeTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
