#include "EditorTests.h"

#include "ui/ObjectBrowser.h"
#include "widgets/BugPropertyEdit.h"
#include "widgets/RandomFloatEdit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>

using namespace kova;
using namespace kova::test;

namespace {

std::vector<Extended> BaseValues(const TBugPropertyEdit& edit) {
    return {edit.DiameterVariantValue().BaseValue,     edit.MaxForceVariantValue().BaseValue,
            edit.MinSpeedVariantValue().BaseValue,     edit.OrientationVariantValue().BaseValue,
            edit.CurrentSpeedVariantValue().BaseValue, edit.MaxSpeedVariantValue().BaseValue,
            edit.MassVariantValue().BaseValue};
}

TFloatEdit* BaseValueEdit(const TEditorView& view, const char* valueEdit) {
    return view.control<TBugPropertyEdit>("BugPropertyEdit")
        ->findChild<TRandomFloatEdit*>(valueEdit)
        ->findChild<TFloatEdit*>("BaseValueEdit");
}

// Which of the editor's frames are shown, in a fixed order.
QString ShownFrames(const TEditorView& view) {
    QStringList shown;
    for (const char* name : {"BugFrame", "GroupFrame", "TriggerPropertiesFrame", "TriggerFrame",
                             "CurrentValuesFrame", "VariantValuesFrame"})
        if (view.control<QGroupBox>(name)->isVisible())
            shown << name;
    // The behaviour frame's title is a check box in trigger mode only.
    if (view.area().isCheckable())
        shown << "BehavioursSwitch";
    return shown.join(' ');
}

std::vector<QString> KindNames(const TBehaviourList& list) {
    std::vector<QString> names;
    for (const auto& behaviour : list)
        names.push_back(QString::fromStdString(behaviour->Name));
    return names;
}

} // namespace

class TPropertyFormTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;

    TSimulation& simulation() { return window->Simulation(); }

private slots:
    void init() {
        window = StartProgram();
        QVERIFY(window);
    }
    void cleanup() {
        window.reset();
        QVERIFY(NoAnswerLeftOver());
    }

    void aNewGroupShowsTheTemplateDefaultsAndCancelKeepsNoGroup() {
        QString caption, name, memberName, memberCount, frames, firstPage;
        std::vector<Extended> values;
        bool checkboxes = true, linear = false, dithering = true;
        int pageCount = 0, triggers = -1;
        AnswerNextEditor(
            [&](TEditorView& view) {
                caption = view.form().windowTitle();
                name = view.control<QLineEdit>("GroupNameEdit")->text();
                memberName = view.control<QLineEdit>("MemberNameEdit")->text();
                memberCount = view.control<QLabel>("MemberCountLabel")->text();
                values = BaseValues(*view.control<TBugPropertyEdit>("BugPropertyEdit"));
                checkboxes = view.control<TBugPropertyEdit>("BugPropertyEdit")->CheckboxesVisible();
                frames = ShownFrames(view);
                pageCount = view.pages().count();
                firstPage = view.pages().tabText(0);
                triggers = view.control<QListWidget>("TriggerListBox")->count();
                linear = view.control<QRadioButton>("LinearCombinationRadioButton")->isChecked();
                auto* ditheringButton = view.control<QRadioButton>("PriorizedDitheringRadioButton");
                dithering = ditheringButton->isVisible() || ditheringButton->isEnabled();
            },
            "CancelButton");
        MenuItem(*window, "GroupMI")->trigger();
        QVERIFY(NoAnswerLeftOver());
        QVERIFY(simulation().Groups.empty());

        QCOMPARE(caption, QString("Group Properties"));
        QCOMPARE(name, QString("Group_0"));
        QCOMPARE(memberName, QString("Member"));
        QCOMPARE(memberCount, QString("0"));
        // Diameter, max. force, min. speed, orientation, current speed, max.
        // speed, mass.
        QCOMPARE(values, (std::vector<Extended>{5, 30, 1, 0, 10, 80, 10}));
        QVERIFY(!checkboxes);
        QCOMPARE(frames, QString("GroupFrame TriggerFrame VariantValuesFrame"));
        QCOMPARE(pageCount, 1);
        QCOMPARE(firstPage, QString("Default Steering"));
        QCOMPARE(triggers, 0);
        QVERIFY(linear);
        QVERIFY(!dithering);

        // OK keeps the group, named as shown.
        AnswerNextEditor({});
        MenuItem(*window, "GroupMI")->trigger();
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(simulation().Groups.size(), std::size_t{1});
        QCOMPARE(simulation().Groups[0]->Name, std::string("Group_0"));
    }

    void underPriorityOkSortsTheBehavioursByPriority() {
        TBugGroup* group = NewGroupAccepted(simulation());
        QStringList captions;
        AnswerNextEditor([&](TEditorView& view) {
            view.chooseCombination("PriorityRadioButton");
            view.addBehaviour("Seek");
            view.stepUp(1, "PrioritySpin", 5);
            view.addBehaviour("Flee");
            view.stepUp(2, "PrioritySpin", 2);
            captions = view.captions();
        });
        QVERIFY(simulation().EditGroup(*group));
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(captions, (QStringList{"Default Steering", "5 - Seek", "2 - Flee"}));

        const TDefaultBug& tmpl = group->Template;
        QCOMPARE(tmpl.CombinationMethod, std::uint8_t{cmPriority});
        QCOMPARE(KindNames(*tmpl.Behaviours), (std::vector<QString>{"Flee", "Seek"}));
        QCOMPARE((*tmpl.Behaviours)[0]->Priority, std::uint16_t{2});
        QCOMPARE((*tmpl.Behaviours)[1]->Priority, std::uint16_t{5});
        // A new behaviour's weight of 0 was shown as 1 and stored so.
        QCOMPARE((*tmpl.Behaviours)[0]->Weight, std::uint16_t{1});
    }

    void cancelAfterAddingAndDeletingBehavioursChangesNothing() {
        TBugGroup* group = NewGroupAccepted(simulation());
        AnswerNextEditor([](TEditorView& view) {
            view.addBehaviour("Seek");
            view.addBehaviour("Cohesion");
        });
        simulation().EditGroup(*group);
        QVERIFY(NoAnswerLeftOver());
        std::vector<const TSteeringBehaviour*> before;
        for (const auto& behaviour : *group->Template.Behaviours)
            before.push_back(behaviour.get());
        QCOMPARE(before.size(), std::size_t{2});

        int pagesAfterDefaultDelete = 0;
        QStringList captionsBeforeCancel;
        AnswerNextEditor(
            [&](TEditorView& view) {
                // The "Default Steering" page is never deleted.
                view.pages().setCurrentIndex(0);
                view.deleteCurrentBehaviour();
                pagesAfterDefaultDelete = view.pages().count();
                view.addBehaviour("Arrival");
                view.pages().setCurrentIndex(1);
                view.deleteCurrentBehaviour();
                view.chooseCombination("WeightFactorsRadioButton");
                view.stepUp(1, "WeightSpin", 4);
                TEditorView::type(view.control<QLineEdit>("GroupNameEdit"), "Herd");
                captionsBeforeCancel = view.captions();
            },
            "CancelButton");
        QVERIFY(!simulation().EditGroup(*group));
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(pagesAfterDefaultDelete, 3);
        QCOMPARE(captionsBeforeCancel,
                 (QStringList{"Default Steering", "5 - Cohesion", "1 - Arrival"}));

        QCOMPARE(group->Name, std::string("Group_0"));
        QCOMPARE(group->Template.CombinationMethod, std::uint8_t{cmLinearCombination});
        QCOMPARE(group->Template.Behaviours->size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            QCOMPARE((*group->Template.Behaviours)[i].get(), before[i]);
            QCOMPARE(before[i]->Weight, std::uint16_t{1});
        }
    }

    void applyingTheTemplateToMembersFollowsTheAnswer_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No") << false;
        QTest::newRow("Yes") << true;
    }
    void applyingTheTemplateToMembersFollowsTheAnswer() {
        QFETCH(bool, yes);
        TTrigger* trigger = NewTriggerAccepted(simulation());
        TBugGroup* group = NewGroupAccepted(simulation());
        simulation().CreateBug(*group, Vector(10, 10));
        simulation().CreateBug(*group, Vector(20, 20));

        AnswerNextEditor([](TEditorView& view) {
            TEditorView::type(BaseValueEdit(view, "MaxSpeedEdit"), "40");
            view.addBehaviour("Seek");
            MenuAction(view.form().findChild<QMenu*>("TriggerPopupMenu"),
                       {"Add Trigger", "Trigger_0"})
                ->trigger();
        });
        QString question;
        AnswerNextMessageBox(yes ? QMessageBox::Yes : QMessageBox::No, &question);
        window->ObjectBrowser().Tree().SelectObject(group);
        QVERIFY(simulation().EditGroup(*group));
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(question, QString("Apply changes to Bugs in Group?"));

        QCOMPARE(group->Template.MaxSpeedVariantValue.BaseValue, Extended{40});
        QCOMPARE(group->Template.Triggers, std::vector<TTrigger*>{trigger});
        for (const auto& member : group->Members) {
            QCOMPARE(member->MaxSpeed, Extended(yes ? 40 : 80));
            QCOMPARE(member->StartMaxSpeed, Extended(yes ? 40 : 80));
            QCOMPARE(member->Triggers.size(), std::size_t(yes ? 1 : 0));
            QCOMPARE(member->Behaviours->size(), std::size_t(yes ? 1 : 0));
            if (yes)
                QVERIFY(member->Behaviours->front().get() !=
                        group->Template.Behaviours->front().get());
        }
    }

    void aGroupWithoutMembersIsNotAskedAboutThem() {
        TBugGroup* group = NewGroupAccepted(simulation());
        AnswerNextEditor([](TEditorView& view) { view.addBehaviour("Flee"); });
        AnswerNextMessageBox(QMessageBox::Yes);
        QVERIFY(simulation().EditGroup(*group));
        // The answer for a question that never came is still waiting.
        QVERIFY(!NoAnswerLeftOver());
        QCOMPARE(group->Template.Behaviours->size(), std::size_t{1});
        QVERIFY(!window->PropertyForm().ApplyToMembers());
    }

    void theTriggerListRefusesDoublesAndSendsEditsToTheBrowser() {
        NewTriggerAccepted(simulation());
        TTrigger* second = NewTriggerAccepted(simulation());
        TBugGroup* group = NewGroupAccepted(simulation());
        TBug* bug = simulation().CreateBug(*group, Vector(5, 5));

        QString inUse, useBrowser;
        QStringList offered, popup, afterAdding, afterDelete;
        AnswerNextEditor([&](TEditorView& view) {
            auto* menu = view.form().findChild<QMenu*>("TriggerPopupMenu");
            auto* list = view.control<QListWidget>("TriggerListBox");
            offered = MenuCaptions(MenuAction(menu, {"Add Trigger"})->menu());
            AnswerNextPopup([&popup](QMenu& shown) { popup = MenuCaptions(&shown); });
            RightClick(list->viewport());

            MenuAction(menu, {"Add Trigger", "Trigger_0"})->trigger();
            AnswerNextMessageBox(QMessageBox::Ok, &inUse);
            MenuAction(menu, {"Add Trigger", "Trigger_0"})->trigger();
            MenuAction(menu, {"Add Trigger", "Trigger_1"})->trigger();
            afterAdding = TEditorView::texts(*list);

            // Nothing selected: nothing to delete.
            list->clearSelection();
            MenuAction(menu, {"Delete Trigger"})->trigger();
            list->setCurrentRow(0);
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Delete);
            afterDelete = TEditorView::texts(*list);

            AnswerNextMessageBox(QMessageBox::Ok, &useBrowser);
            DoubleClick(list->viewport(), list->visualItemRect(list->item(0)).center());
        });
        QVERIFY(simulation().EditBug(*bug));
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(offered, (QStringList{"Trigger_0", "Trigger_1"}));
        QCOMPARE(popup, (QStringList{"Add Trigger", "Delete Trigger"}));
        QCOMPARE(inUse, QString("Trigger already in use!"));
        QCOMPARE(afterAdding, (QStringList{"Trigger_0", "Trigger_1"}));
        QCOMPARE(afterDelete, QStringList{"Trigger_1"});
        QCOMPARE(useBrowser, QString("Use the Object-Browser to edit this Trigger!"));
        QCOMPARE(bug->Triggers, std::vector<TTrigger*>{second});

        // The submenu is rebuilt at every opening, and the list shows the
        // bug's triggers.
        NewTriggerAccepted(simulation());
        AnswerNextEditor(
            [&](TEditorView& view) {
                offered = MenuCaptions(
                    MenuAction(view.form().findChild<QMenu*>("TriggerPopupMenu"), {"Add Trigger"})
                        ->menu());
                afterAdding = view.listTexts("TriggerListBox");
            },
            "CancelButton");
        simulation().EditBug(*bug);
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(offered, (QStringList{"Trigger_0", "Trigger_1", "Trigger_2"}));
        QCOMPARE(afterAdding, QStringList{"Trigger_1"});
    }

    void theTriggerEditorSwitchesTheBehavioursOnAndOff() {
        QString caption, frames, title;
        bool checkboxes = false, offAtStart = false, onAfterTick = false;
        bool popupWhileOff = true;
        AnswerNextEditor([&](TEditorView& view) {
            caption = view.form().windowTitle();
            frames = ShownFrames(view);
            checkboxes = view.control<TBugPropertyEdit>("BugPropertyEdit")->CheckboxesVisible();
            title = view.area().title();
            offAtStart = !view.area().isChecked() && !view.pages().isEnabled() &&
                         !view.control<QRadioButton>("PriorityRadioButton")->isEnabled();
            // Switched off, the frame offers no menu.
            AnswerNextPopup([](QMenu&) {});
            RightClick(&view.area());
            // No answer left over: the pop-up came and was answered.
            popupWhileOff = NoAnswerLeftOver();

            ClickTitleCheckBox(&view.area());
            onAfterTick = view.pages().isEnabled() &&
                          view.control<QRadioButton>("PriorityRadioButton")->isEnabled();
            view.addBehaviour("Moth-Seek");
            TEditorView::type(view.control<QLineEdit>("SecondEdit"), "3");
            TEditorView::type(view.control<QLineEdit>("FrameEdit"), "12");
            // A new trigger's values are unticked: tick the mass first.
            ClickCheckBox(view.control<TBugPropertyEdit>("BugPropertyEdit")
                              ->findChild<TRandomFloatEdit*>("MassEdit")
                              ->findChild<QCheckBox*>("ApplyCheckBox"));
            TEditorView::type(BaseValueEdit(view, "MassEdit"), "20");
        });
        MenuItem(*window, "TriggerMI")->trigger();
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(caption, QString("Trigger Properties"));
        QCOMPARE(frames, QString("TriggerPropertiesFrame VariantValuesFrame BehavioursSwitch"));
        QCOMPARE(title, QString("Steering Behaviours "));
        QVERIFY(checkboxes);
        QVERIFY(offAtStart);
        QVERIFY(!popupWhileOff);
        QVERIFY(onAfterTick);

        QCOMPARE(simulation().Triggers.size(), std::size_t{1});
        TTrigger& trigger = *simulation().Triggers[0];
        QCOMPARE(trigger.Second, 3);
        QCOMPARE(trigger.Frame, 12);
        QVERIFY(trigger.ChangeBehaviours);
        QCOMPARE(trigger.Template.MassVariantValue.BaseValue, Extended{20});
        QVERIFY(trigger.Template.MassVariantValue.Apply);
        QVERIFY(!trigger.Template.MaxSpeedVariantValue.Apply);
        QCOMPARE(KindNames(*trigger.Template.Behaviours), std::vector<QString>{"Moth-Seek"});

        // Switched off again: the behaviours stay, the trigger no longer
        // hands them out.
        const TBehaviourList* list = trigger.Template.Behaviours.get();
        bool greyed = false;
        AnswerNextEditor([&](TEditorView& view) {
            ClickTitleCheckBox(&view.area());
            greyed = !view.pages().isEnabled() && view.pages().currentIndex() == 0;
        });
        QVERIFY(simulation().EditTrigger(trigger));
        QVERIFY(NoAnswerLeftOver());
        QVERIFY(greyed);
        QVERIFY(!trigger.ChangeBehaviours);
        QCOMPARE(trigger.Template.Behaviours.get(), list);
        QCOMPARE(KindNames(*list), std::vector<QString>{"Moth-Seek"});
    }

    // Opened again and again, the editor keeps the size it has for the kind
    // of object.
    void theEditorKeepsItsSizeFromOpeningToOpening() {
        TTrigger* trigger = NewTriggerAccepted(simulation());
        // The arrival page is the tallest: the trigger editor needs more room
        // than the others.
        trigger->Template.Behaviours->push_back(std::make_unique<TSteeringBehaviour>(bkArrival));
        TBugGroup* group = NewGroupAccepted(simulation());
        TBug* bug = simulation().CreateBug(*group, Vector(10, 20));
        // Group, trigger and bug editors in turn, three times over.
        std::vector<QSize> sizes;
        for (int opening = 0; opening < 9; ++opening) {
            AnswerNextEditor([&](TEditorView& view) { sizes.push_back(view.form().size()); },
                             "CancelButton");
            if (opening % 3 == 0)
                simulation().EditGroup(*group);
            else if (opening % 3 == 1)
                simulation().EditTrigger(*trigger);
            else
                simulation().EditBug(*bug);
            QVERIFY(NoAnswerLeftOver());
        }
        QCOMPARE(sizes.size(), std::size_t{9});
        for (std::size_t i = 3; i < sizes.size(); ++i)
            QCOMPARE(sizes[i], sizes[i - 3]);
        // Each mode takes the room its frames need, no more.
        QVERIFY(sizes[0] != sizes[1]);
    }

    void bugModeWritesPositionValuesAndTriggers() {
        TTrigger* trigger = NewTriggerAccepted(simulation());
        TBugGroup* group = NewGroupAccepted(simulation());
        TBug* bug = simulation().CreateBug(*group, Vector(10, 20));

        QString caption, ofGroup, frames;
        Extended shownX = 0, shownSpeed = 0;
        AnswerNextEditor([&](TEditorView& view) {
            caption = view.form().windowTitle();
            ofGroup = view.control<QLabel>("OfGroupLabel")->text();
            frames = ShownFrames(view);
            shownX = view.control<TFloatEdit>("XPositionEdit")->Value();
            shownSpeed = view.control<TFloatEdit>("CurrentSpeedFloatEdit")->Value();
            TEditorView::type(view.control<QLineEdit>("BugNameEdit"), "Scout");
            TEditorView::type(view.control<QLineEdit>("XPositionEdit"), "100");
            TEditorView::type(view.control<QLineEdit>("YPositionEdit"), "50");
            TEditorView::type(view.control<QLineEdit>("OrientationFloatEdit"), "90");
            TEditorView::type(view.control<QLineEdit>("CurrentSpeedFloatEdit"), "20");
            TEditorView::type(view.control<QLineEdit>("DiameterFloatEdit"), "8");
            MenuAction(view.form().findChild<QMenu*>("TriggerPopupMenu"),
                       {"Add Trigger", "Trigger_0"})
                ->trigger();
        });
        QVERIFY(simulation().EditBug(*bug));
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(caption, QString("Bug Properties"));
        QCOMPARE(ofGroup, QString("of Group_0"));
        QCOMPARE(frames, QString("BugFrame TriggerFrame CurrentValuesFrame"));
        QCOMPARE(shownX, Extended{10});
        QCOMPARE(shownSpeed, Extended{10});

        QCOMPARE(bug->Name, std::string("Scout"));
        QCOMPARE(bug->Position[0], Extended{100});
        QCOMPARE(bug->Position[1], Extended{50});
        // The orientation turned the velocity at the old speed, then the new
        // speed stretched it.
        QVERIFY(std::fabs(static_cast<double>(bug->Velocity[0])) < 1e-9);
        QVERIFY(std::fabs(static_cast<double>(bug->Velocity[1] - 20)) < 1e-9);
        QCOMPARE(bug->Shape.Size[0], Extended{8});
        QCOMPARE(bug->Shape.Size[1], Extended{8});
        QCOMPARE(bug->Triggers, std::vector<TTrigger*>{trigger});
        // Edited at 0 : 0, the values are the new start values too.
        QCOMPARE(bug->StartPosition[0], Extended{100});
        QCOMPARE(window->ObjectBrowser().Tree().SelectedNode().data().toString(), QString("Scout"));
    }

    void aBugSteeringWithATriggersListGetsItsOwnCopies() {
        TTrigger* trigger = NewTriggerAccepted(simulation());
        trigger->Template.Behaviours->push_back(std::make_unique<TSteeringBehaviour>(bkFlee));
        trigger->SetChangeBehaviours(true);
        TBugGroup* group = NewGroupAccepted(simulation());
        TBug* bug = simulation().CreateBug(*group, Vector(10, 20));
        trigger->Fire(*bug);
        QCOMPARE(bug->Behaviours, trigger->Template.Behaviours);

        QStringList shown;
        AnswerNextEditor([&](TEditorView& view) {
            shown = view.captions();
            view.addBehaviour("Separation");
        });
        QVERIFY(simulation().EditBug(*bug));
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(shown, (QStringList{"Default Steering", "Flee"}));
        QCOMPARE(bug->Behaviours, bug->OwnBehaviours());
        QCOMPARE(KindNames(*bug->Behaviours), (std::vector<QString>{"Flee", "Separation"}));
        QCOMPARE(KindNames(*trigger->Template.Behaviours), std::vector<QString>{"Flee"});
    }
};

int RunPropertyFormTests(int argc, char** argv) {
    TPropertyFormTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "PropertyFormTests.moc"
