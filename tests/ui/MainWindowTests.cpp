#include "MainWindowTests.h"

#include "foundations/WorkerPool.h"
#include "simulation/SimulationFile.h"
#include "ui/AnimationController.h"
#include "ui/ArenaView.h"
#include "ui/ObjectBrowser.h"
#include "ui/Tools.h"
#include "widgets/FloatEdit.h"
#include "widgets/ObjectTree.h"
#include "widgets/SpinEdit.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

using namespace kova;
using namespace kova::test;

class TStartupTests : public QObject {
    Q_OBJECT

private slots:
    void startsWithAnUntitledSimulationAndItsToolWindows() {
        const auto window = StartProgram();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QString("Kova - untitled.kvz[*]"));
        QCOMPARE(PanelText(*window, 0), QString("Position"));
        QCOMPARE(window->ArenaView().size(), QSize(400, 300));

        QVERIFY(window->ObjectBrowser().isVisible());
        QVERIFY(window->AnimationController().isVisible());
        QVERIFY(window->Tools().isVisible());
        for (const char* item :
             {"ObjectBrowserMI", "AnimationControllerMI", "VisibleObjectCreatorMI"})
            QVERIFY2(MenuItem(*window, item)->isChecked(), item);

        const TObjectTree& tree = window->ObjectBrowser().Tree();
        const QAbstractItemModel& nodes = *tree.model();
        QCOMPARE(nodes.rowCount(), 3);
        QCOMPARE(nodes.index(0, 0).data().toString(), QString("Groups"));
        QCOMPARE(nodes.index(1, 0).data().toString(), QString("Trigger"));
        QCOMPARE(nodes.index(2, 0).data().toString(), QString("Obstacles"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(nodes.rowCount(nodes.index(i, 0)), 0);

        // The controller was created after the first view refresh: its delay
        // shows 15 while the simulation waits 40 ms, and showing it brought the
        // loop point in.
        QCOMPARE(Control<TSpinEdit>(window->AnimationController(), "DelayEdit")->value(), 15);
        QCOMPARE(window->Simulation().Delay, 40);
        QCOMPARE(Control<TFloatEdit>(window->AnimationController(), "LoopSecondEdit")->text(),
                 QString("10"));
    }

    void menusCarryTheirShortcuts() {
        const auto window = StartProgram();
        QCOMPARE(MenuItem(*window, "ExitMI")->shortcut(), QKeySequence("Alt+F4"));
        QCOMPARE(MenuItem(*window, "NewMI")->shortcut(), QKeySequence(QKeySequence::New));
        QCOMPARE(MenuItem(*window, "OpenMI")->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(MenuItem(*window, "SaveMI")->shortcut(), QKeySequence(QKeySequence::Save));
        QCOMPARE(MenuItem(*window, "CurrenttoStartValuesMI")->text(),
                 QString("Current to Start Values"));
    }

    void meterToPixelRoundsHalvesToEven_data() {
        QTest::addColumn<double>("meters");
        QTest::addColumn<int>("pixelsPerMeter");
        QTest::addColumn<int>("pixels");
        QTest::newRow("2.5 m") << 2.5 << 1 << 2;
        QTest::newRow("3.5 m") << 3.5 << 1 << 4;
        QTest::newRow("0.5 m") << 0.5 << 1 << 0;
        QTest::newRow("640 m") << 640.0 << 1 << 640;
        QTest::newRow("2.4 m") << 2.4 << 1 << 2;
        QTest::newRow("2.5 m at 3") << 2.5 << 3 << 8;
    }
    void meterToPixelRoundsHalvesToEven() {
        QFETCH(double, meters);
        QFETCH(int, pixelsPerMeter);
        QFETCH(int, pixels);
        QCOMPARE(MeterToPixel(meters, static_cast<std::uint8_t>(pixelsPerMeter)), pixels);
    }

    void windowMenuShowsAndHidesTheToolWindows() {
        const auto window = StartProgram();
        QAction* toolsItem = MenuItem(*window, "VisibleObjectCreatorMI");
        toolsItem->trigger();
        QVERIFY(!window->Tools().isVisible());
        QVERIFY(!toolsItem->isChecked());
        toolsItem->trigger();
        QVERIFY(window->Tools().isVisible());
        QVERIFY(toolsItem->isChecked());
    }

    void closingAToolWindowUnticksItsMenuItem_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("toolWindow");
        QTest::newRow("object browser") << "ObjectBrowserMI"
                                        << "frObjectBrowser";
        QTest::newRow("animation controller") << "AnimationControllerMI"
                                              << "frAnimationController";
        QTest::newRow("tools") << "VisibleObjectCreatorMI"
                               << "frTools";
    }
    // Closed with its close box, a tool window unticks its Window menu item;
    // choosing the item again brings the window back, ticked.
    void closingAToolWindowUnticksItsMenuItem() {
        QFETCH(QString, item);
        QFETCH(QString, toolWindow);
        const auto window = StartProgram();
        QAction* menuItem = MenuItem(*window, qPrintable(item));
        auto* shown = window->findChild<QWidget*>(toolWindow);
        QVERIFY(shown != nullptr && shown->isVisible());
        QVERIFY(shown->close());
        QVERIFY(!shown->isVisible());
        QVERIFY(!menuItem->isChecked());
        menuItem->trigger();
        QVERIFY(shown->isVisible());
        QVERIFY(menuItem->isChecked());
    }

    void mouseOverTheArenaShowsThePosition() {
        const auto window = StartProgram();
        Hover(&window->ArenaView(), QPoint(120, 45));
        QCOMPARE(PanelText(*window, 1), QString("120 : 45"));
        QCOMPARE(PanelText(*window, 2), QString());
        QCOMPARE(PanelText(*window, 3), QString());
    }

    void openingAFileTakesItsObjectsArenaAndName() {
        QTemporaryDir directory;
        const QString path = directory.filePath("meadow.kvz");
        {
            TSimulation source;
            source.Space.SetWidth(640);
            source.Space.SetHeight(480);
            TBugGroup* group = source.NewGroup();
            source.CreateBug(*group, Vector(30, 40));
            source.CreateObstacle(TObstacle::kLine, 10, 20, 50, 20);
            SaveSimulationFile(source, path.toStdString());
        }
        const auto window = StartProgram();
        QVERIFY(window->OpenFile(path));
        QCOMPARE(window->windowTitle(), QString("Kova - meadow.kvz[*]"));
        QCOMPARE(window->FileName(), path);
        QCOMPARE(window->ArenaView().size(), QSize(640, 480));
        QCOMPARE(window->Simulation().Groups.size(), std::size_t{1});
        QCOMPARE(window->Simulation().Obstacles.size(), std::size_t{1});
        const TObjectTree& tree = window->ObjectBrowser().Tree();
        const QAbstractItemModel& nodes = *tree.model();
        QCOMPARE(nodes.rowCount(nodes.index(0, 0, nodes.index(0, 0))), 1);
        QCOMPARE(nodes.index(0, 0, nodes.index(2, 0)).data().toString(),
                 QString("Obstacle_0_Line"));

        // Saving under the current name and opening again gives the same.
        MenuItem(*window, "SaveMI")->trigger();
        QVERIFY(window->OpenFile(path));
        QCOMPARE(window->Simulation().Groups.front()->Members.size(), std::size_t{1});
    }

    void fileDialogsStartInTheSimulationsFolderAndSaveAsNamesTheFile() {
        QTemporaryDir directory;
        QVERIFY(QDir(directory.path()).mkdir("simulations"));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(directory.path());
        const auto window = StartProgram();
        NewGroupAccepted(window->Simulation());

        QString openTitle;
        QStringList filters;
        QString openFolder;
        // The new group is an unsaved change: Open offers to save it first.
        QString unsaved;
        AnswerNextMessageBox(QMessageBox::Discard, &unsaved);
        AnswerNextModal(
            [](QWidget& modal) { return qobject_cast<QFileDialog*>(&modal) != nullptr; },
            [&](QWidget& modal) {
                auto& dialog = static_cast<QFileDialog&>(modal);
                openTitle = dialog.windowTitle();
                filters = dialog.nameFilters();
                openFolder = dialog.directory().dirName();
                dialog.reject();
            });
        MenuItem(*window, "OpenMI")->trigger();
        QCOMPARE(unsaved, QString("The simulation has unsaved changes. Save them first?"));
        QCOMPARE(openTitle, QString("Open Simulation"));
        QCOMPARE(filters, (QStringList{"kova simulation file (*.kvz)", "all files (*)"}));
        QCOMPARE(openFolder, QString("simulations"));
        QCOMPARE(window->Simulation().Groups.size(), std::size_t{1});

        QString saveTitle;
        QString suffix;
        const QString path = directory.filePath("simulations/meadow");
        AnswerNextModal(
            [](QWidget& modal) { return qobject_cast<QFileDialog*>(&modal) != nullptr; },
            [&](QWidget& modal) {
                auto& dialog = static_cast<QFileDialog&>(modal);
                saveTitle = dialog.windowTitle();
                suffix = dialog.defaultSuffix();
                // Typed into the name field, as a user would.
                dialog.findChild<QLineEdit*>("fileNameEdit")->setText(path);
                static_cast<QDialog&>(dialog).accept();
            });
        MenuItem(*window, "SaveAsMI")->trigger();
        QDir::setCurrent(previous);
        QCOMPARE(saveTitle, QString("Save Simulation"));
        QCOMPARE(suffix, QString("kvz"));
        QCOMPARE(window->windowTitle(), QString("Kova - meadow.kvz[*]"));
        QVERIFY(QFile::exists(path + ".kvz"));

        TSimulation reread;
        OpenSimulationFile(reread, (path + ".kvz").toStdString());
        QCOMPARE(reread.Groups.size(), std::size_t{1});
    }

    void aFileThatCannotBeOpenedChangesNothing() {
        const auto window = StartProgram();
        NewGroupAccepted(window->Simulation());
        QString message;
        AnswerNextMessageBox(QMessageBox::Ok, &message);
        QVERIFY(!window->OpenFile("/nonexistent/folder/missing.kvz"));
        QVERIFY(NoAnswerLeftOver());
        QVERIFY(!message.isEmpty());
        QCOMPARE(window->windowTitle(), QString("Kova - untitled.kvz[*]"));
        QCOMPARE(window->Simulation().Groups.size(), std::size_t{1});
    }

    void threadsMenuChoosesTheEngineThreadsAndTheChoiceIsKept() {
        const unsigned cores = HardwareThreads();
        {
            const auto window = StartProgram();
            QCOMPARE(window->Simulation().Threads(), cores);
            QVERIFY(MenuItem(*window, QString("Threads%1MI").arg(cores))->isChecked());
            MenuItem(*window, "Threads1MI")->trigger();
            QCOMPARE(window->Simulation().Threads(), 1u);
        }
        const auto window = StartProgram();
        QCOMPARE(window->Simulation().Threads(), 1u);
        QVERIFY(MenuItem(*window, "Threads1MI")->isChecked());
        MenuItem(*window, QString("Threads%1MI").arg(cores))->trigger();
        QCOMPARE(window->Simulation().Threads(), cores);
    }

    void aFileWithoutTheMagicIsRefused() {
        QTemporaryDir directory;
        const QString path = directory.filePath("other.kvz");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // A String value of 8 characters that is not the magic.
        file.write(QByteArray("\x06\x08KOVA-V09", 10));
        file.close();
        const auto window = StartProgram();
        QString message;
        AnswerNextMessageBox(QMessageBox::Ok, &message);
        QVERIFY(!window->OpenFile(path));
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(message, QString("Error in kvz-File!"));
        QCOMPARE(window->FileName(), QString("untitled.kvz"));
    }
};

int RunStartupTests(int argc, char** argv) {
    TStartupTests tests;
    return QTest::qExec(&tests, argc, argv);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Settings the program keeps go to a folder of the run's own.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    int failures = 0;
    failures += RunStartupTests(argc, argv);
    failures += RunArenaToolTests(argc, argv);
    failures += RunObjectBrowserTests(argc, argv);
    failures += RunAnimationControllerTests(argc, argv);
    failures += RunSimulationDialogTests(argc, argv);
    failures += RunCanvasTests(argc, argv);
    failures += RunZoomTests(argc, argv);
    failures += RunUndoTests(argc, argv);
    failures += RunRenderTests(argc, argv);
    failures += RunStatisticsWindowTests(argc, argv);
    return failures == 0 ? 0 : 1;
}

#include "MainWindowTests.moc"
