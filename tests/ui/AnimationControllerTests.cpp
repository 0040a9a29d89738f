#include "MainWindowTests.h"

#include "ui/AnimationController.h"
#include "ui/ArenaView.h"
#include "ui/ObjectBrowser.h"
#include "widgets/FloatEdit.h"
#include "widgets/ObjectTree.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QPushButton>

using namespace kova;
using namespace kova::test;

class TAnimationControllerTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;

    TSimulation& simulation() { return window->Simulation(); }
    TfrAnimationController& controller() { return window->AnimationController(); }
    template <typename T> T* control(const char* name) { return Control<T>(controller(), name); }
    QString shownTime() {
        return control<TFloatEdit>("CurrentSecondEdit")->text() + " : " +
               control<TFloatEdit>("CurrentFrameEdit")->text();
    }
    void setDelayWithArrows(int steps) {
        auto* delay = control<TSpinEdit>("DelayEdit");
        for (int i = 0; i < steps; ++i)
            delay->stepDown();
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

    void playPauseAndRewindDriveTheClock() {
        TBugGroup* group = NewGroupAccepted(simulation());
        TBug* bug = simulation().CreateBug(*group, Vector(100, 50));
        setDelayWithArrows(15);
        QCOMPARE(simulation().Delay, 0);

        QTest::mouseClick(control<QPushButton>("PlayButton"), Qt::LeftButton);
        QVERIFY(simulation().Running);
        QTRY_VERIFY(simulation().CurrentSecond >= 1);
        QTest::mouseClick(control<QPushButton>("PauseButton"), Qt::LeftButton);
        QVERIFY(!simulation().Running);
        const std::uint32_t second = simulation().CurrentSecond;
        const std::uint32_t frame = simulation().CurrentFrame;
        QCOMPARE(shownTime(), QString("%1 : %2").arg(second).arg(frame));
        QVERIFY(bug->Position != Vector(100, 50));

        // Paused, no further frame is stepped.
        QTest::qWait(50);
        QCOMPARE(simulation().CurrentSecond, second);
        QCOMPARE(simulation().CurrentFrame, frame);

        QTest::mouseClick(control<QPushButton>("RewindButton"), Qt::LeftButton);
        QCOMPARE(shownTime(), QString("0 : 0"));
        QVERIFY(simulation().IsAtStart());
        QCOMPARE(bug->Position, Vector(100, 50));
    }

    void theFirstFrameComesAtOnce_data() {
        QTest::addColumn<QString>("start");
        QTest::newRow("play button") << "PlayButton";
        QTest::newRow("Simulation > Run") << "RunMI";
    }
    // With a delay of a second, the run steps its first frame when it starts
    // and waits the delay only between frames.
    void theFirstFrameComesAtOnce() {
        QFETCH(QString, start);
        TBugGroup* group = NewGroupAccepted(simulation());
        simulation().CreateBug(*group, Vector(100, 50));
        auto* delay = control<TSpinEdit>("DelayEdit");
        delay->stepBy(1000 - delay->value());
        QCOMPARE(simulation().Delay, 1000);

        if (start == "RunMI")
            MenuItem(*window, "RunMI")->trigger();
        else
            QTest::mouseClick(control<QPushButton>("PlayButton"), Qt::LeftButton);
        QCOMPARE(shownTime(), QString("0 : 1"));
        QCoreApplication::processEvents();
        QCOMPARE(shownTime(), QString("0 : 1"));
        QVERIFY(simulation().Running);
    }

    void aModalWindowHoldsTheClock_data() {
        QTest::addColumn<QString>("opener");
        QTest::newRow("Simulation > Properties...") << "PropertiesMI";
        QTest::newRow("Delete Group question") << "DeleteGroup";
    }
    // While a dialog or a question waits for the user, no frame is stepped;
    // once it is closed the run goes on.
    void aModalWindowHoldsTheClock() {
        QFETCH(QString, opener);
        TBugGroup* group = NewGroupAccepted(simulation());
        simulation().CreateBug(*group, Vector(100, 50));
        setDelayWithArrows(15);
        QTest::mouseClick(control<QPushButton>("PlayButton"), Qt::LeftButton);
        QTRY_VERIFY(simulation().CurrentFrame >= 3 || simulation().CurrentSecond > 0);

        auto clock = [this] {
            return QString("%1 : %2")
                .arg(simulation().CurrentSecond)
                .arg(simulation().CurrentFrame);
        };
        QString whenOpened, whenClosing;
        AnswerNextModal([](QWidget&) { return true; },
                        [&](QWidget& modal) {
                            whenOpened = clock();
                            QTest::qWait(200);
                            whenClosing = clock();
                            if (auto* question = qobject_cast<QMessageBox*>(&modal))
                                question->button(QMessageBox::No)->click();
                            else
                                modal.findChild<QPushButton*>("CancelButton")->click();
                        });
        if (opener == "PropertiesMI") {
            MenuItem(*window, "PropertiesMI")->trigger();
        } else {
            TObjectTree& tree = window->ObjectBrowser().Tree();
            tree.SelectNode(tree.model()->index(0, 0, tree.model()->index(0, 0)));
            QVERIFY(Activate(window->ObjectBrowser()));
            tree.setFocus();
            QTest::keyClick(&tree, Qt::Key_Delete);
        }
        QVERIFY(NoAnswerLeftOver());
        QVERIFY(!whenOpened.isEmpty());
        QCOMPARE(whenClosing, whenOpened);
        QVERIFY(simulation().Running);
        QTRY_VERIFY(clock() != whenClosing);
        QCOMPARE(simulation().Groups.size(), std::size_t{1});
    }

    void currentToStartValuesKeepsTheBugsWhereTheyAre() {
        TBugGroup* group = NewGroupAccepted(simulation());
        TBug* bug = simulation().CreateBug(*group, Vector(100, 50));
        setDelayWithArrows(15);
        MenuItem(*window, "RunMI")->trigger();
        QTRY_VERIFY(simulation().CurrentFrame >= 5 || simulation().CurrentSecond > 0);
        MenuItem(*window, "PauseMI")->trigger();
        const Vector moved = bug->Position;
        MenuItem(*window, "CurrenttoStartValuesMI")->trigger();
        QCOMPARE(shownTime(), QString("0 : 0"));
        MenuItem(*window, "RewindMI")->trigger();
        QCOMPARE(bug->Position, moved);
    }

    void trailsKeepTheOldFigures_data() {
        QTest::addColumn<bool>("trails");
        QTest::addColumn<bool>("doubleBuffered");
        QTest::newRow("no trails") << false << true;
        QTest::newRow("trails") << true << true;
        QTest::newRow("trails, drawn directly") << true << false;
    }
    void trailsKeepTheOldFigures() {
        QFETCH(bool, trails);
        QFETCH(bool, doubleBuffered);
        TBugGroup* group = NewGroupAccepted(simulation());
        TBug* bug = simulation().CreateBug(*group, Vector(100, 50));
        simulation().Repaint();
        if (trails)
            ClickCheckBox(control<QCheckBox>("TrailsCheckBox"));
        if (!doubleBuffered)
            ClickCheckBox(control<QCheckBox>("DoubleBufferCheckBox"));
        QCOMPARE(simulation().Doc.DoubleBuffered, doubleBuffered);
        // 15 ms between frames: slow enough that the bug is paused long
        // before it comes round the arena again.
        control<TSpinEdit>("DelayEdit")->stepUp();
        control<TSpinEdit>("DelayEdit")->stepDown();
        QCOMPARE(simulation().Delay, 15);

        QTest::mouseClick(control<QPushButton>("PlayButton"), Qt::LeftButton);
        QTRY_VERIFY(bug->Position[0] > 120);
        QTest::mouseClick(control<QPushButton>("PauseButton"), Qt::LeftButton);

        const QImage shown = window->ArenaView().grab().toImage();
        const QColor groupColour(255, 0, 0);
        const QColor arena = ArenaColor(simulation());
        // Where the bug started, its trail (figures and their outlines) stays
        // only with trails shown; the background elsewhere is the arena's.
        QCOMPARE(shown.pixelColor(100, 50) != arena, trails);
        QCOMPARE(shown.pixelColor(100, 80), arena);
        QCOMPARE(shown.pixelColor(static_cast<int>(bug->Position[0]), 50), groupColour);

        // A rewind wipes the trails.
        QTest::mouseClick(control<QPushButton>("RewindButton"), Qt::LeftButton);
        const QImage rewound = window->ArenaView().grab().toImage();
        QCOMPARE(rewound.pixelColor(100, 50), groupColour);
        QCOMPARE(rewound.pixelColor(115, 50), arena);
    }

    void theLoopFrameStaysBelowTheFrameRate() {
        QCOMPARE(simulation().FPS, 25);
        auto* loop = control<QCheckBox>("LoopCheckBox");
        auto* frameEdit = control<TFloatEdit>("LoopFrameEdit");
        auto* secondEdit = control<TFloatEdit>("LoopSecondEdit");
        QVERIFY(!frameEdit->isEnabled());
        ClickCheckBox(loop);
        QVERIFY(simulation().Loop);
        QVERIFY(frameEdit->isEnabled() && secondEdit->isEnabled());

        frameEdit->setFocus();
        frameEdit->selectAll();
        QTest::keyClicks(frameEdit, "30");
        QCOMPARE(frameEdit->text(), QString("24"));
        QCOMPARE(simulation().LoopFrame, 24u);

        secondEdit->setFocus();
        secondEdit->selectAll();
        QTest::keyClicks(secondEdit, "3");
        QCOMPARE(simulation().LoopSecond, 3u);

        // Unchecked, the edits are disabled and keep their values.
        ClickCheckBox(loop);
        QVERIFY(!simulation().Loop);
        QVERIFY(!frameEdit->isEnabled());
        QCOMPARE(frameEdit->text(), QString("24"));
        QCOMPARE(simulation().LoopFrame, 24u);
    }

    void theLoopPointSendsTheClockBackToTheStart() {
        TBugGroup* group = NewGroupAccepted(simulation());
        simulation().CreateBug(*group, Vector(100, 50));
        simulation().SetLoop(true);
        simulation().SetLoopSecond(0);
        simulation().SetLoopFrame(3);
        setDelayWithArrows(15);
        QStringList shownFrames;
        connect(control<TFloatEdit>("CurrentFrameEdit"), &QLineEdit::textChanged,
                [&shownFrames](const QString& text) { shownFrames << text; });
        MenuItem(*window, "RunMI")->trigger();
        QTRY_VERIFY(shownFrames.size() >= 9);
        MenuItem(*window, "PauseMI")->trigger();
        // Frames 0 to 2, then the loop point takes the clock back to 0 : 0;
        // it never shows 0 : 3 and never reaches a second.
        QCOMPARE(shownFrames.mid(0, 9), (QStringList{"1", "2", "0", "1", "2", "0", "1", "2", "0"}));
        QCOMPARE(simulation().CurrentSecond, 0u);
    }

    void theDelayFollowsTheSpinEdit() {
        auto* delay = control<TSpinEdit>("DelayEdit");
        delay->stepUp();
        QCOMPARE(simulation().Delay, 16);
        QVERIFY(!delay->TypingEnabled());
    }
};

int RunAnimationControllerTests(int argc, char** argv) {
    TAnimationControllerTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "AnimationControllerTests.moc"
