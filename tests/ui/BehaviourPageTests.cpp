#include "EditorTests.h"

#include "ui/ObjectBrowser.h"
#include "ui/ObjectListBox.h"

#include <QCheckBox>
#include <QLabel>

using namespace kova;
using namespace kova::test;

namespace {

// Which of the page's weight and priority spin edits are enabled.
QString Enabling(const TEditorView& view, int index) {
    QStringList on;
    if (view.onPage<QWidget>(index, "WeightSpin")->isEnabled())
        on << "weight";
    if (view.onPage<QWidget>(index, "PrioritySpin")->isEnabled())
        on << "priority";
    return on.join('+');
}

} // namespace

class TBehaviourPageTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;
    TBugGroup* group = nullptr;

    TSimulation& simulation() { return window->Simulation(); }
    const TBehaviourList& behaviours() { return *group->Template.Behaviours; }
    // Edits the group in the property editor and presses OK.
    void editGroup(std::function<void(TEditorView&)> edit) {
        // Edits start from the object's node in the browser.
        window->ObjectBrowser().Tree().SelectObject(group);
        AnswerNextEditor(std::move(edit));
        QVERIFY(simulation().EditGroup(*group));
        QVERIFY(NoAnswerLeftOver());
    }

private slots:
    void init() {
        window = StartProgram();
        QVERIFY(window);
        group = NewGroupAccepted(simulation());
        QVERIFY(group);
    }
    void cleanup() {
        window.reset();
        QVERIFY(NoAnswerLeftOver());
    }

    void spinEditsKeepTheirNaturalWidth_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"Seek", "Arrival", "Cohesion", "Obstacle Avoidance"})
            QTest::newRow(kind) << kind;
    }
    // However wide the page's columns, the priority and weight spin edits are
    // as wide as their contents need.
    void spinEditsKeepTheirNaturalWidth() {
        QFETCH(QString, kind);
        QList<int> widths, natural;
        editGroup([&](TEditorView& view) {
            view.addBehaviour(qPrintable(kind));
            QCoreApplication::processEvents();
            for (const char* prefix : {"PrioritySpin", "WeightSpin"}) {
                const QWidget* spin = view.onPage<QWidget>(1, prefix);
                widths << spin->width();
                natural << spin->sizeHint().width();
            }
        });
        QCOMPARE(widths.size(), 2);
        QCOMPARE(widths, natural);
    }

    void theMenuOffersTheKindsInItsOrder() {
        QStringList items, kinds;
        QString popup;
        bool wanderOff = false, collisionOff = false;
        editGroup([&](TEditorView& view) {
            QMenu* menu = view.area().SBPopupMenu();
            items = MenuCaptions(menu);
            QMenu* add = MenuAction(menu, {"Add Steering Behaviour"})->menu();
            kinds = MenuCaptions(add);
            wanderOff = !MenuAction(add, {"Wander"})->isEnabled();
            collisionOff = !MenuAction(add, {"Collision Avoidance"})->isEnabled();
            // A right click on the frame pops the menu up.
            AnswerNextPopup([&popup](QMenu& shown) { popup = shown.objectName(); });
            RightClick(&view.area());
            MenuAction(add, {"Wander"})->trigger();
        });
        QCOMPARE(items,
                 (QStringList{"Add Steering Behaviour", "Delete Current Steering Behaviour"}));
        QCOMPARE(kinds, (QStringList{"Seek", "Flee", "Moth-Seek", "Moth-Flee", "Arrival", "Wander",
                                     "-", "Alignment", "Cohesion", "Separation",
                                     "Collision Avoidance", "-", "Obstacle Avoidance"}));
        QVERIFY(wanderOff);
        QVERIFY(collisionOff);
        QCOMPARE(popup, QString("SBPopupMenu"));
        QVERIFY(behaviours().empty());
    }

    void captionsAndEnablingFollowTheCombination() {
        QStringList captions;
        QStringList enabling;
        editGroup([&](TEditorView& view) {
            view.chooseCombination("WeightFactorsRadioButton");
            view.addBehaviour("Seek");
            captions << view.pages().tabText(1);
            enabling << Enabling(view, 1);
            view.stepUp(1, "WeightSpin", 2);
            view.stepUp(1, "PrioritySpin", 2);
            captions << view.pages().tabText(1);
            view.chooseCombination("PriorityRadioButton");
            captions << view.pages().tabText(1);
            enabling << Enabling(view, 1);
            view.chooseCombination("LinearCombinationRadioButton");
            captions << view.pages().tabText(1);
            enabling << Enabling(view, 1);
            // Priorized dithering has no visible button; a template read from
            // a file may carry it.
            view.area().SetCombination(cmPriorizedDithering);
            captions << view.pages().tabText(1);
            enabling << Enabling(view, 1);
            // A page added now takes over the enabling and the caption form.
            view.addBehaviour("Flee");
            captions << view.pages().tabText(2);
            enabling << Enabling(view, 2);
        });
        // The priority spin edit was disabled while weights were used.
        QCOMPARE(captions, (QStringList{"1 - Seek", "3 - Seek", "0 - Seek", "Seek", "0:3 - Seek",
                                        "0:1 - Flee"}));
        QCOMPARE(enabling,
                 (QStringList{"weight", "priority", "", "weight+priority", "weight+priority"}));
        QCOMPARE(group->Template.CombinationMethod, std::uint8_t{cmPriorizedDithering});
        QCOMPARE(behaviours()[0]->Weight, std::uint16_t{3});
    }

    void eachKindGetsItsOwnControls() {
        struct TSeen {
            QString caption;
            bool target, rangeSwitch, angle, radius, obstacles;
        };
        std::vector<TSeen> seen;
        QString secondWeightName;
        Extended arrivalRadius = 0;
        editGroup([&](TEditorView& view) {
            for (const char* kind :
                 {"Seek", "Arrival", "Cohesion", "Alignment", "Separation", "Obstacle Avoidance"})
                view.addBehaviour(kind);
            for (int index = 1; index < view.pages().count(); ++index)
                seen.push_back({view.pages().tabText(index),
                                view.onPage<QRadioButton>(index, "TargetRadio") != nullptr,
                                view.onPage<QCheckBox>(index, "SensorRangeCheck") != nullptr,
                                view.onPage<TFloatEdit>(index, "AngleEdit") != nullptr,
                                view.onPage<TFloatEdit>(index, "StoppingRadius") != nullptr,
                                view.onPage<QListWidget>(index, "ObstacleListBox") != nullptr});
            secondWeightName = view.onPage<QWidget>(2, "WeightSpin")->objectName();
            arrivalRadius = view.onPage<TFloatEdit>(2, "StoppingRadius")->Value();
        });
        QCOMPARE(seen.size(), std::size_t{6});
        const bool expected[6][5] = {
            {true, true, true, false, false},  {true, true, true, true, false},
            {false, true, true, false, false}, {false, true, true, false, false},
            {false, true, true, false, false}, {false, false, false, false, true}};
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const TSeen& page = seen[i];
            const bool shown[5] = {page.target, page.rangeSwitch, page.angle, page.radius,
                                   page.obstacles};
            for (int control = 0; control < 5; ++control)
                QVERIFY2(shown[control] == expected[i][control], qPrintable(page.caption));
        }
        // Controls are named uniquely in the window.
        QCOMPARE(secondWeightName, QString("WeightSpinEdit1"));
        QCOMPARE(arrivalRadius, Extended{100});
        QCOMPARE(behaviours()[1]->StoppingRadius, Extended{100});
    }

    void twoPagesOfOneKindAreIndependent() {
        bool rangeEditFollowsTheBox = false;
        editGroup([&](TEditorView& view) {
            view.addBehaviour("Seek");
            view.addBehaviour("Seek");
            view.chooseCombination("WeightFactorsRadioButton");
            view.stepUp(2, "WeightSpin", 1);
            auto* range = view.onPage<TFloatEdit>(1, "SensorRangeEdit");
            view.pages().setCurrentIndex(1);
            const bool offAtFirst = !range->isEnabled();
            ClickCheckBox(view.onPage<QCheckBox>(1, "SensorRangeCheck"));
            rangeEditFollowsTheBox = offAtFirst && range->isEnabled() &&
                                     !view.onPage<QWidget>(2, "SensorRangeEdit")->isEnabled();
            view.typeOnPage(1, "SensorRangeEdit", "42.5");
        });
        QVERIFY(rangeEditFollowsTheBox);
        QCOMPARE(behaviours().size(), std::size_t{2});
        QCOMPARE(behaviours()[0]->Weight, std::uint16_t{1});
        QCOMPARE(behaviours()[1]->Weight, std::uint16_t{2});
        QVERIFY(behaviours()[0]->SensorRangeOn);
        QCOMPARE(behaviours()[0]->SensorRange, Extended{42.5L});
        QVERIFY(!behaviours()[1]->SensorRangeOn);
        QCOMPARE(behaviours()[1]->SensorRange, Extended{100});
    }

    void anObstacleCanBeListedOnce() {
        simulation().CreateObstacle(TObstacle::kLine, 10, 10, 50, 10);
        TObstacle* circle = simulation().CreateObstacle(TObstacle::kCircle, 100, 100, 130, 130);
        QString inUse;
        QStringList listed, afterDelete;
        editGroup([&](TEditorView& view) {
            view.addBehaviour("Obstacle Avoidance");
            QMenu* menu = view.area().ObstaclePopupMenu();
            MenuAction(menu, {"Add Obstacle", "Obstacle_0_Line"})->trigger();
            AnswerNextMessageBox(QMessageBox::Ok, &inUse);
            MenuAction(menu, {"Add Obstacle", "Obstacle_0_Line"})->trigger();
            MenuAction(menu, {"Add Obstacle", "Obstacle_1_Circle"})->trigger();
            auto* list = view.onPage<TObjectListBox>(1, "ObstacleListBox");
            listed = TEditorView::texts(*list);
            list->clearSelection();
            MenuAction(menu, {"Delete Obstacle"})->trigger();
            list->setCurrentRow(0);
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Delete);
            afterDelete = TEditorView::texts(*list);
        });
        QCOMPARE(inUse, QString("Obstacle already in use!"));
        QCOMPARE(listed, (QStringList{"Obstacle_0_Line", "Obstacle_1_Circle"}));
        QCOMPARE(afterDelete, QStringList{"Obstacle_1_Circle"});
        QCOMPARE(behaviours()[0]->Obstacles.Items(), std::vector<TObstacle*>{circle});

        // The page lists the behaviour's obstacles when it is opened again.
        editGroup([&](TEditorView& view) {
            listed = TEditorView::texts(*view.onPage<QListWidget>(1, "ObstacleListBox"));
        });
        QCOMPARE(listed, QStringList{"Obstacle_1_Circle"});
    }

    void aSeekPageSwitchedFromABugToAPointSteersTowardThePoint() {
        TBug* hunter = simulation().CreateBug(*group, Vector(200, 100));
        TBug* prey = simulation().CreateBug(*group, Vector(100, 100));
        // Edits start from the browser's node of the object, as a double
        // click there does.
        window->ObjectBrowser().Tree().SelectObject(hunter);
        QString chosen;
        bool pointControlsOff = false;
        AnswerNextEditor([&](TEditorView& view) {
            view.addBehaviour("Seek");
            view.clickRadioButton(1, "BugRadio");
            pointControlsOff = !view.onPage<QWidget>(1, "XTargetFloatEdit")->isEnabled() &&
                               view.onPage<QWidget>(1, "BugTargetTree")->isEnabled();
            view.clickTreeNode(1, "Member_1");
            chosen = view.onPage<QLabel>(1, "BugTargetLabel")->text();
        });
        QVERIFY(simulation().EditBug(*hunter));
        QVERIFY(NoAnswerLeftOver());
        QVERIFY(pointControlsOff);
        QCOMPARE(chosen, QString("Member_1 of Group_0"));
        const TSteeringBehaviour& seek = *hunter->Behaviours->front();
        QVERIFY(seek.TargetIsBug);
        QCOMPARE(seek.TargetBug, prey);
        // The prey lies to the left: the force pulls left.
        QVERIFY(CombineSteering(*hunter, simulation().FrameContext())[0] < 0);

        bool reopenedOnTheBug = false;
        AnswerNextEditor([&](TEditorView& view) {
            reopenedOnTheBug =
                view.onPage<QRadioButton>(1, "BugRadio")->isChecked() &&
                view.onPage<QLabel>(1, "BugTargetLabel")->text() == "Member_1 of Group_0" &&
                view.onPage<TObjectTree>(1, "BugTargetTree")->SelectedObject() == prey;
            view.clickRadioButton(1, "TargetRadio");
            view.typeOnPage(1, "XTargetFloatEdit", "390");
            view.typeOnPage(1, "YTargetFloatEdit", "100");
        });
        QVERIFY(simulation().EditBug(*hunter));
        QVERIFY(NoAnswerLeftOver());
        QVERIFY(reopenedOnTheBug);
        const TSteeringBehaviour& pointSeek = *hunter->Behaviours->front();
        QVERIFY(!pointSeek.TargetIsBug);
        QCOMPARE(pointSeek.TargetPoint[0], Extended{390});
        QCOMPARE(pointSeek.TargetPoint[1], Extended{100});
        QVERIFY(CombineSteering(*hunter, simulation().FrameContext())[0] > 0);
    }

    void aGroupNodeIsNoTarget() {
        // A bug of another group, so that this group has no members to ask
        // about.
        simulation().CreateBug(*NewGroupAccepted(simulation()), Vector(200, 100));
        QString label;
        editGroup([&](TEditorView& view) {
            view.addBehaviour("Flee");
            view.clickRadioButton(1, "BugRadio");
            view.clickTreeNode(1, "Member_0");
            view.clickTreeNode(1, "Group_1");
            label = view.onPage<QLabel>(1, "BugTargetLabel")->text();
        });
        QCOMPARE(label, QString("please choose a bug!"));
        const TSteeringBehaviour& flee = *behaviours().front();
        QVERIFY(!flee.TargetIsBug);
        QCOMPARE(flee.TargetPoint[0], Extended{0});
        QCOMPARE(flee.TargetPoint[1], Extended{0});
        // A member made from the template flees the point (0, 0).
        TBug* member = simulation().CreateBug(*group, Vector(100, 50));
        const Vector force = CombineSteering(*member, simulation().FrameContext());
        QVERIFY(force[0] > 0);
        QVERIFY(force[1] > 0);
    }
};

int RunBehaviourPageTests(int argc, char** argv) {
    TBehaviourPageTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "BehaviourPageTests.moc"
