#include "MainWindowTests.h"

#include "ui/ArenaView.h"
#include "ui/EditHistory.h"
#include "ui/Info.h"
#include "ui/NewSimulation.h"
#include "ui/ObjectBrowser.h"
#include "ui/Tools.h"
#include "widgets/ColorButton.h"
#include "widgets/FloatEdit.h"
#include "widgets/ObjectTree.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>

using namespace kova;
using namespace kova::test;

namespace {

struct TDialogView {
    QString width;
    QString height;
    QString size;
    QString fps;
    QString pixelsPerMeter;
    TColor color = 0;
};

TDialogView ReadDialog(QWidget& dialog) {
    return {Control<QLineEdit>(dialog, "WidthEdit")->text(),
            Control<QLineEdit>(dialog, "HeightEdit")->text(),
            Control<QLineEdit>(dialog, "SizeEdit")->text(),
            Control<QLineEdit>(dialog, "FPSEdit")->text(),
            Control<QLineEdit>(dialog, "PixelPerMeterEdit")->text(),
            Control<TColorButton>(dialog, "ColorButton")->Color()};
}

} // namespace

class TSimulationDialogTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;

    TSimulation& simulation() { return window->Simulation(); }

    void addOneOfEach() {
        TBugGroup* group = NewGroupAccepted(simulation());
        simulation().CreateBug(*group, Vector(10, 10));
        NewTriggerAccepted(simulation());
        simulation().CreateObstacle(TObstacle::kLine, 0, 0, 10, 10);
        // As if just saved: New does not offer to save first.
        window->History().MarkSaved();
    }
    bool hasOneOfEach() {
        return simulation().Groups.size() == 1 && simulation().Groups[0]->Members.size() == 1 &&
               simulation().Triggers.size() == 1 && simulation().Obstacles.size() == 1;
    }

private slots:
    void init() {
        window = StartProgram();
        QVERIFY(window);
    }
    void cleanup() {
        window.reset();
        QVERIFY(NoAnswerLeftOver());
    }

    void thePropertiesDialogShowsTheDefaults() {
        TDialogView shown;
        ClickOnNextDialog("CancelButton",
                          [&shown](QWidget& dialog) { shown = ReadDialog(dialog); });
        MenuItem(*window, "PropertiesMI")->trigger();
        QCOMPARE(shown.width, QString("400"));
        QCOMPARE(shown.height, QString("300"));
        QCOMPARE(shown.size, QString("400 x 300"));
        QCOMPARE(shown.fps, QString("25"));
        QCOMPARE(shown.pixelsPerMeter, QString("1"));
        QCOMPARE(shown.color, TColor{191 + 215 * 256 + 191 * 65536});
    }

    void typingAWidthUpdatesTheSizeAndOkResizesTheArena() {
        QString sizeAfterTyping;
        ClickOnNextDialog("OKButton", [&sizeAfterTyping](QWidget& dialog) {
            TypeInto(dialog, "WidthEdit", "640");
            TypeInto(dialog, "HeightEdit", "480");
            TypeInto(dialog, "FPSEdit", "30");
            sizeAfterTyping = Control<QLineEdit>(dialog, "SizeEdit")->text();
        });
        MenuItem(*window, "PropertiesMI")->trigger();
        QCOMPARE(sizeAfterTyping, QString("640 x 480"));
        QCOMPARE(simulation().Space.Width, Extended{640});
        QCOMPARE(simulation().Space.Height, Extended{480});
        QCOMPARE(simulation().FPS, 30);
        QCOMPARE(window->ArenaView().size(), QSize(640, 480));
        // The arena's far corner, scrolled into sight, is drawn.
        auto* box = Control<QScrollArea>(*window, "ArenaScrollBox");
        box->horizontalScrollBar()->setValue(box->horizontalScrollBar()->maximum());
        box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
        QCOMPARE(window->ArenaView().grab().toImage().pixelColor(600, 450),
                 ArenaColor(simulation()));
    }

    void cancelWritesNothing() {
        ClickOnNextDialog("CancelButton",
                          [](QWidget& dialog) { TypeInto(dialog, "WidthEdit", "100"); });
        MenuItem(*window, "PropertiesMI")->trigger();
        QCOMPARE(simulation().Space.Width, Extended{400});
        QCOMPARE(window->ArenaView().size(), QSize(400, 300));
    }

    void newAnsweredWithCancelOrNoKeepsEveryObject() {
        addOneOfEach();
        ClickOnNextDialog("CancelButton");
        MenuItem(*window, "NewMI")->trigger();
        QVERIFY(hasOneOfEach());

        QString question;
        ClickOnNextDialog("OKButton");
        AnswerNextMessageBox(QMessageBox::No, &question);
        MenuItem(*window, "NewMI")->trigger();
        QCOMPARE(question,
                 QString("Really create new simulation? All unsaved changes will be lost!"));
        QVERIFY(hasOneOfEach());
        QCOMPARE(window->windowTitle(), QString("Kova - untitled.kvz[*]"));
        const QAbstractItemModel& nodes = *window->ObjectBrowser().Tree().model();
        QCOMPARE(nodes.rowCount(nodes.index(0, 0)), 1);
    }

    void newAnsweredWithYesEmptiesTheSimulation() {
        addOneOfEach();
        ClickOnNextDialog("OKButton",
                          [](QWidget& dialog) { TypeInto(dialog, "WidthEdit", "200"); });
        AnswerNextMessageBox(QMessageBox::Yes);
        MenuItem(*window, "NewMI")->trigger();
        QVERIFY(simulation().Groups.empty());
        QVERIFY(simulation().Triggers.empty());
        QVERIFY(simulation().Obstacles.empty());
        const QAbstractItemModel& nodes = *window->ObjectBrowser().Tree().model();
        QCOMPARE(nodes.rowCount(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(nodes.rowCount(nodes.index(i, 0)), 0);
        QCOMPARE(Control<QComboBox>(window->Tools(), "GroupComboBox")->count(), 0);
        QCOMPARE(window->ArenaView().size(), QSize(200, 300));
    }

    void theAboutBoxShowsNameAndVersion() {
        MenuItem(*window, "InfoMI")->trigger();
        TfrInfo& info = window->InfoBox();
        QVERIFY(info.isVisible());
        QVERIFY(!info.isModal());
        QCOMPARE(info.windowTitle(), QString("Info"));
        auto* name = Control<QLabel>(info, "ProductLabel");
        QCOMPARE(name->text(), QString("kova"));
        QCOMPARE(name->font().pixelSize(), 48);
        QVERIFY(name->font().bold());
        QCOMPARE(Control<QLabel>(info, "VersionLabel")->text(), QString("Version 1.0 - 04.2000"));
    }
};

int RunSimulationDialogTests(int argc, char** argv) {
    TSimulationDialogTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "SimulationDialogTests.moc"
