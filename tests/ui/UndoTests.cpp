#include "MainWindowTests.h"

#include "foundations/Streams.h"
#include "simulation/SimulationFile.h"
#include "ui/ArenaView.h"
#include "ui/EditHistory.h"
#include "ui/FrameTimer.h"
#include "ui/ObjectBrowser.h"
#include "ui/Tools.h"
#include "widgets/FloatEdit.h"
#include "widgets/ObjectTree.h"

#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>

using namespace kova;
using namespace kova::test;

namespace {

std::vector<std::uint8_t> SavedBytes(TSimulation& simulation) {
    TMemoryStream stream;
    WriteSimulationFile(simulation, stream);
    return stream.Bytes();
}

void ChooseTool(const TfrMain& window, const char* button) {
    QTest::mouseClick(Control<QToolButton>(window.Tools(), button), Qt::LeftButton);
}

void PaintBugs(TfrMain& window, QPoint from, QPoint to) {
    ChooseTool(window, "BugCreationButton");
    Control<TFloatEdit>(window.Tools(), "DensityEdit")->SetValue(50);
    Drag(&window.ArenaView(), from, to);
    ChooseTool(window, "BugCreationButton");
}

void DeleteInBrowser(TfrMain& window, const TNamedObject& object) {
    window.ObjectBrowser().Tree().SelectObject(&object);
    window.ObjectBrowser().DeleteSelected();
}

} // namespace

class TUndoTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;

    TSimulation& simulation() { return window->Simulation(); }
    void undo() { MenuItem(*window, "UndoMI")->trigger(); }
    void redo() { MenuItem(*window, "RedoMI")->trigger(); }

private slots:
    void init() {
        window = StartProgram();
        QVERIFY(window);
        AcceptNextPropertyEditor();
        MenuItem(*window, "GroupMI")->trigger();
        QCOMPARE(simulation().Groups.size(), std::size_t{1});
    }
    void cleanup() {
        window.reset();
        QVERIFY(NoAnswerLeftOver());
    }

    // Each edit in turn on what the ones before left: undo gives back the
    // bytes saved before it, redo the bytes saved after it.
    void everyKindOfEditIsUndoneAndRedoneToTheSameBytes() {
        struct TEdit {
            const char* Name;
            std::function<void()> Make;
        };
        // Undo and redo load the simulation anew: objects are looked up each time.
        auto group = [this]() -> TBugGroup& { return *simulation().Groups[0]; };
        const std::vector<TEdit> edits = {
            {"paint bugs", [&] { PaintBugs(*window, QPoint(20, 20), QPoint(120, 90)); }},
            {"draw a line",
             [&] {
                 ChooseTool(*window, "ObstacleLineButton");
                 Drag(&window->ArenaView(), QPoint(200, 40), QPoint(260, 80));
             }},
            {"draw an ellipse",
             [&] {
                 ChooseTool(*window, "ObstacleEllipseButton");
                 Drag(&window->ArenaView(), QPoint(300, 200), QPoint(340, 250));
                 ChooseTool(*window, "ObstacleEllipseButton");
             }},
            {"edit the group and its members",
             [&] {
                 AcceptNextPropertyEditor([](QWidget& form) {
                     TypeInto(form, "GroupNameEdit", "Flock");
                     AnswerNextMessageBox(QMessageBox::Yes);
                 });
                 simulation().EditGroup(group());
             }},
            {"edit a bug",
             [&] {
                 AcceptNextPropertyEditor(
                     [](QWidget& form) { TypeInto(form, "BugNameEdit", "Leader"); });
                 simulation().EditBug(*group().Members.front());
             }},
            {"new trigger",
             [&] {
                 AcceptNextPropertyEditor();
                 MenuItem(*window, "TriggerMI")->trigger();
             }},
            {"simulation properties",
             [&] {
                 ClickOnNextDialog("OKButton",
                                   [](QWidget& dialog) { TypeInto(dialog, "WidthEdit", "520"); });
                 MenuItem(*window, "PropertiesMI")->trigger();
             }},
            {"delete a bug", [&] { DeleteInBrowser(*window, *group().Members[1]); }},
            {"delete an obstacle", [&] { DeleteInBrowser(*window, *simulation().Obstacles[0]); }},
            {"delete a trigger", [&] { DeleteInBrowser(*window, *simulation().Triggers[0]); }},
            {"delete the group",
             [&] {
                 AnswerNextMessageBox(QMessageBox::Yes);
                 DeleteInBrowser(*window, *simulation().Groups[0]);
             }},
            {"new simulation",
             [&] {
                 window->History().MarkSaved();
                 ClickOnNextDialog("OKButton");
                 AnswerNextMessageBox(QMessageBox::Yes);
                 MenuItem(*window, "NewMI")->trigger();
             }},
        };
        for (const TEdit& edit : edits) {
            const auto before = SavedBytes(simulation());
            edit.Make();
            QVERIFY2(NoAnswerLeftOver(), edit.Name);
            const auto after = SavedBytes(simulation());
            QVERIFY2(after != before, edit.Name);
            QCOMPARE(MenuItem(*window, "UndoMI")->isEnabled(), true);
            undo();
            QVERIFY2(SavedBytes(simulation()) == before, edit.Name);
            redo();
            QVERIFY2(SavedBytes(simulation()) == after, edit.Name);
        }
        // The objects came back with their nodes in the browser and the tools.
        undo();
        undo();
        QCOMPARE(simulation().Groups.size(), std::size_t{1});
        QVERIFY(window->ObjectBrowser().Tree().FindNode(simulation().Groups[0].get()).isValid());
        QCOMPARE(window->Tools().ChosenGroup(), simulation().Groups[0].get());
    }

    void keysUndoAndRedo() {
        QVERIFY(Activate(*window));
        const auto before = SavedBytes(simulation());
        PaintBugs(*window, QPoint(20, 20), QPoint(90, 90));
        const auto after = SavedBytes(simulation());
        QVERIFY(after != before);
        struct TKey {
            Qt::Key Key;
            Qt::KeyboardModifiers Modifiers;
            const std::vector<std::uint8_t>* Expected;
        };
        for (const TKey& key : {TKey{Qt::Key_Z, Qt::ControlModifier, &before},
                                TKey{Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, &after},
                                TKey{Qt::Key_Z, Qt::ControlModifier, &before},
                                TKey{Qt::Key_Y, Qt::ControlModifier, &after}}) {
            QTest::keyClick(window.get(), key.Key, key.Modifiers);
            QVERIFY(SavedBytes(simulation()) == *key.Expected);
        }
    }

    void undoingWhileRunningPausesFirst() {
        PaintBugs(*window, QPoint(20, 20), QPoint(90, 90));
        MenuItem(*window, "RunMI")->trigger();
        QTRY_VERIFY(simulation().CurrentFrame > 2);
        // As a click on the line before the newest in the undo view does.
        QUndoStack& steps = window->History().Stack();
        steps.setIndex(steps.index() - 1);
        QVERIFY(!window->Frames().IsTicking());
        QVERIFY(simulation().Groups[0]->Members.empty());
        QVERIFY(simulation().IsAtStart());
    }

    void unsavedChangesMarkTheCaptionAndAreOfferedForSaving() {
        QTemporaryDir folder;
        const QString path = folder.filePath("meadow.kvz");
        SaveSimulationFile(simulation(), path.toStdString());
        QVERIFY(window->OpenFile(path));
        QVERIFY(!window->isWindowModified());
        QVERIFY(!MenuItem(*window, "UndoMI")->isEnabled());

        PaintBugs(*window, QPoint(20, 20), QPoint(90, 90));
        QVERIFY(window->isWindowModified());
        undo();
        QVERIFY(!window->isWindowModified());
        redo();
        QVERIFY(window->isWindowModified());

        // Cancel keeps the program and the simulation as they are.
        AnswerNextMessageBox(QMessageBox::Cancel);
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        AnswerNextMessageBox(QMessageBox::Cancel);
        MenuItem(*window, "NewMI")->trigger();
        QVERIFY(NoAnswerLeftOver());
        QVERIFY(!simulation().Groups[0]->Members.empty());

        // Save writes the file before Open goes on (here to a cancelled choice).
        QString question;
        AnswerNextMessageBox(QMessageBox::Save, &question);
        AnswerNextModal([](QWidget& modal) { return qobject_cast<QFileDialog*>(&modal); },
                        [](QWidget& modal) { static_cast<QFileDialog&>(modal).reject(); });
        MenuItem(*window, "OpenMI")->trigger();
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(question, QString("The simulation has unsaved changes. Save them first?"));
        QVERIFY(!window->isWindowModified());
        TSimulation reread;
        OpenSimulationFile(reread, path.toStdString());
        QCOMPARE(reread.Groups[0]->Members.size(), simulation().Groups[0]->Members.size());

        // Discard lets the program end.
        PaintBugs(*window, QPoint(120, 20), QPoint(190, 90));
        AnswerNextMessageBox(QMessageBox::Discard);
        QVERIFY(window->close());
    }

    // Old steps are forgotten so that the snapshots stay within the budget;
    // the ones kept still undo, and the saved state can no longer be reached.
    void theHistoryStaysWithinItsBudget() {
        TEditHistory& history = window->History();
        // Lines add little to a simulation of many bugs: every snapshot is
        // about the same size.
        PaintBugs(*window, QPoint(0, 0), QPoint(200, 200));
        const std::size_t budget = 5 * SavedBytes(simulation()).size();
        history.SetBudget(budget);
        ChooseTool(*window, "ObstacleLineButton");
        for (int i = 1; i <= 6; ++i)
            Drag(&window->ArenaView(), QPoint(250, 10 * i), QPoint(300, 10 * i));
        undo();
        QVERIFY(history.BytesHeld() <= budget);
        const int kept = history.Stack().count();
        QVERIFY2(kept >= 2 && kept <= 4, QByteArray::number(kept));
        while (MenuItem(*window, "UndoMI")->isEnabled())
            undo();
        QVERIFY(!simulation().Groups[0]->Members.empty());
        QCOMPARE(simulation().Obstacles.size(), std::size_t(6 - kept));
        QVERIFY(window->isWindowModified());
    }
};

int RunUndoTests(int argc, char** argv) {
    TUndoTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "UndoTests.moc"
