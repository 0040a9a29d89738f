#include "MainWindowTests.h"

#include "ui/ArenaView.h"
#include "ui/ObjectBrowser.h"
#include "ui/Tools.h"
#include "widgets/ObjectTree.h"

#include <QComboBox>
#include <QLineEdit>

using namespace kova;
using namespace kova::test;

namespace {

QStringList ComboTexts(const QComboBox& combo) {
    QStringList texts;
    for (int i = 0; i < combo.count(); ++i)
        texts << combo.itemText(i);
    return texts;
}

QString SelectedText(const TObjectTree& tree) {
    const QList<QTreeWidgetItem*> selected = tree.selectedItems();
    return selected.size() == 1 ? selected.first()->text(0)
                                : QString("<%1 selected>").arg(selected.size());
}

} // namespace

class TObjectBrowserTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;

    TSimulation& simulation() { return window->Simulation(); }
    TObjectTree& tree() { return window->ObjectBrowser().Tree(); }
    QComboBox& groups() { return *Control<QComboBox>(window->Tools(), "GroupComboBox"); }
    QTreeWidgetItem* groupsNode() { return tree().topLevelItem(0); }
    QTreeWidgetItem* obstaclesNode() { return tree().topLevelItem(2); }

    void pressDelete() {
        QVERIFY(Activate(window->ObjectBrowser()));
        tree().setFocus();
        QTest::keyClick(&tree(), Qt::Key_Delete);
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

    void newObjectsAppearUnderTheirNodesAndAreSelected() {
        TBugGroup* first = NewGroupAccepted(simulation());
        NewGroupAccepted(simulation());
        simulation().CreateBug(*first, Vector(5, 5));
        QCOMPARE(groupsNode()->childCount(), 2);
        QCOMPARE(groupsNode()->child(0)->child(0)->text(0), QString("Member_0"));
        QCOMPARE(SelectedText(tree()), QString("Member_0"));
        QCOMPARE(ComboTexts(groups()), (QStringList{"Group_0", "Group_1"}));
        QCOMPARE(groups().currentText(), QString("Group_1"));

        AcceptNextPropertyEditor();

        MenuItem(*window, "TriggerMI")->trigger();
        QCOMPARE(tree().topLevelItem(1)->child(0)->text(0), QString("Trigger_0"));
        QCOMPARE(SelectedText(tree()), QString("Trigger_0"));
    }

    void doubleClickEditsAndRenamesTheNodeAndComboItem() {
        TBugGroup* first = NewGroupAccepted(simulation());
        NewGroupAccepted(simulation());
        QTreeWidgetItem* node = groupsNode()->child(0);
        tree().SelectNode(node);
        QVERIFY(QTest::qWaitForWindowExposed(&window->ObjectBrowser()));
        const QRect row = tree().visualItemRect(node);
        QVERIFY(!row.isEmpty());
        AcceptNextPropertyEditor([](QWidget& editor) {
            auto* name = Control<QLineEdit>(editor, "GroupNameEdit");
            name->selectAll();
            QTest::keyClicks(name, "Swarm");
        });
        DoubleClick(tree().viewport(), row.center());
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(first->Name, std::string("Swarm"));
        QCOMPARE(node->text(0), QString("Swarm"));
        QCOMPARE(ComboTexts(groups()), (QStringList{"Swarm", "Group_1"}));
        QCOMPARE(groups().currentText(), QString("Group_1"));
    }

    void deletingSelectsTheNextSiblingOrTheNodeBefore() {
        for (int i = 0; i < 3; ++i)
            simulation().CreateObstacle(TObstacle::kLine, 0, i, 10, i);
        tree().SelectNode(obstaclesNode()->child(1));
        pressDelete();
        QCOMPARE(simulation().Obstacles.size(), std::size_t{2});
        QCOMPARE(SelectedText(tree()), QString("Obstacle_2_Line"));
        pressDelete();
        QCOMPARE(SelectedText(tree()), QString("Obstacle_0_Line"));
        pressDelete();
        QVERIFY(simulation().Obstacles.empty());
        QCOMPARE(SelectedText(tree()), QString("Obstacles"));
        // A top-level node carries no object: nothing happens.
        pressDelete();
        QCOMPARE(tree().topLevelItemCount(), 3);
    }

    void theNodeBeforeIsThePreviousSiblingsDeepestLastDescendant() {
        TBugGroup* first = NewGroupAccepted(simulation());
        TBugGroup* second = NewGroupAccepted(simulation());
        simulation().CreateBug(*first, Vector(1, 1));
        simulation().CreateBug(*first, Vector(2, 2));
        simulation().CreateBug(*second, Vector(3, 3));
        tree().SelectNode(groupsNode()->child(1)->child(0));
        pressDelete();
        QVERIFY(second->Members.empty());
        QCOMPARE(SelectedText(tree()), QString("Group_1"));

        // Group_1 has no members: deleted without a question.
        tree().SelectNode(groupsNode()->child(1));
        pressDelete();
        QCOMPARE(simulation().Groups.size(), std::size_t{1});
        QCOMPARE(SelectedText(tree()), QString("Member_1"));
    }

    void deletingAGroupWithMembersAsksFirst() {
        TBugGroup* first = NewGroupAccepted(simulation());
        NewGroupAccepted(simulation());
        simulation().CreateBug(*first, Vector(1, 1));
        groups().setCurrentIndex(1);
        tree().SelectNode(groupsNode()->child(0));

        QString question;
        AnswerNextMessageBox(QMessageBox::No, &question);
        pressDelete();
        QCOMPARE(question, QString("Delete Group \"Group_0\" and all its Members?"));
        QCOMPARE(simulation().Groups.size(), std::size_t{2});
        QCOMPARE(groupsNode()->child(0)->childCount(), 1);

        AnswerNextMessageBox(QMessageBox::Yes);
        pressDelete();
        QCOMPARE(simulation().Groups.size(), std::size_t{1});
        QCOMPARE(groupsNode()->childCount(), 1);
        QCOMPARE(ComboTexts(groups()), QStringList{"Group_1"});
        QCOMPARE(groups().currentText(), QString("Group_1"));

        // The last group gone, the combo box is empty.
        tree().SelectNode(groupsNode()->child(0));
        pressDelete();
        QCOMPARE(groups().count(), 0);
        QCOMPARE(groups().currentText(), QString());
    }

    void deletingABugRepaintsTheArena() {
        TBugGroup* group = NewGroupAccepted(simulation());
        simulation().CreateBug(*group, Vector(100, 50));
        simulation().Repaint();
        QCOMPARE(window->ArenaView().grab().toImage().pixelColor(100, 50), QColor(255, 0, 0));
        tree().SelectNode(groupsNode()->child(0)->child(0));
        pressDelete();
        QCOMPARE(window->ArenaView().grab().toImage().pixelColor(100, 50),
                 ArenaColor(simulation()));
    }
};

int RunObjectBrowserTests(int argc, char** argv) {
    TObjectBrowserTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "ObjectBrowserTests.moc"
