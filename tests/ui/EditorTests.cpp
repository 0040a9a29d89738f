#include "EditorTests.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    failures += RunPropertyFormTests(argc, argv);
    failures += RunBehaviourPageTests(argc, argv);
    failures += RunExportDialogTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
