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

QString SelectedText(TObjectTree& tree) {
    tree.ApplyPendingSelection();
    const QModelIndexList selected = tree.selectionModel()->selectedIndexes();
    return selected.size() == 1 ? selected.first().data().toString()
                                : QString("<%1 selected>").arg(selected.size());
}

QModelIndex Child(const QModelIndex& parent, int row) {
    return parent.model()->index(row, 0, parent);
}

int ChildCount(const QModelIndex& parent) {
    return parent.model()->rowCount(parent);
}

} // namespace

class TObjectBrowserTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;

    TSimulation& simulation() { return window->Simulation(); }
    TObjectTree& tree() { return window->ObjectBrowser().Tree(); }
    QComboBox& groups() { return *Control<QComboBox>(window->Tools(), "GroupComboBox"); }
    QModelIndex groupsNode() { return tree().model()->index(0, 0); }
    QModelIndex obstaclesNode() { return tree().model()->index(2, 0); }

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
        QCOMPARE(ChildCount(groupsNode()), 2);
        QCOMPARE(Child(Child(groupsNode(), 0), 0).data().toString(), QString("Member_0"));
        QCOMPARE(SelectedText(tree()), QString("Member_0"));
        QCOMPARE(ComboTexts(groups()), (QStringList{"Group_0", "Group_1"}));
        QCOMPARE(groups().currentText(), QString("Group_1"));

        AcceptNextPropertyEditor();

        MenuItem(*window, "TriggerMI")->trigger();
        QCOMPARE(Child(tree().model()->index(1, 0), 0).data().toString(), QString("Trigger_0"));
        QCOMPARE(SelectedText(tree()), QString("Trigger_0"));
    }

    void doubleClickEditsAndRenamesTheNodeAndComboItem() {
        TBugGroup* first = NewGroupAccepted(simulation());
        NewGroupAccepted(simulation());
        const QPersistentModelIndex node = Child(groupsNode(), 0);
        tree().SelectNode(node);
        QVERIFY(QTest::qWaitForWindowExposed(&window->ObjectBrowser()));
        const QRect row = tree().visualRect(node);
        QVERIFY(!row.isEmpty());
        AcceptNextPropertyEditor([](QWidget& editor) {
            auto* name = Control<QLineEdit>(editor, "GroupNameEdit");
            name->selectAll();
            QTest::keyClicks(name, "Swarm");
        });
        DoubleClick(tree().viewport(), row.center());
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(first->Name, std::string("Swarm"));
        QCOMPARE(node.data().toString(), QString("Swarm"));
        QCOMPARE(ComboTexts(groups()), (QStringList{"Swarm", "Group_1"}));
        QCOMPARE(groups().currentText(), QString("Group_1"));
    }

    void deletingSelectsTheNextSiblingOrTheNodeBefore() {
        for (int i = 0; i < 3; ++i)
            simulation().CreateObstacle(TObstacle::kLine, 0, i, 10, i);
        tree().SelectNode(Child(obstaclesNode(), 1));
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
        QCOMPARE(tree().model()->rowCount(), 3);
    }

    void theNodeBeforeIsThePreviousSiblingsDeepestLastDescendant() {
        TBugGroup* first = NewGroupAccepted(simulation());
        TBugGroup* second = NewGroupAccepted(simulation());
        simulation().CreateBug(*first, Vector(1, 1));
        simulation().CreateBug(*first, Vector(2, 2));
        simulation().CreateBug(*second, Vector(3, 3));
        tree().SelectNode(Child(Child(groupsNode(), 1), 0));
        pressDelete();
        QVERIFY(second->Members.empty());
        QCOMPARE(SelectedText(tree()), QString("Group_1"));

        // Group_1 has no members: deleted without a question.
        tree().SelectNode(Child(groupsNode(), 1));
        pressDelete();
        QCOMPARE(simulation().Groups.size(), std::size_t{1});
        QCOMPARE(SelectedText(tree()), QString("Member_1"));
    }

    void deletingAGroupWithMembersAsksFirst() {
        TBugGroup* first = NewGroupAccepted(simulation());
        NewGroupAccepted(simulation());
        simulation().CreateBug(*first, Vector(1, 1));
        groups().setCurrentIndex(1);
        tree().SelectNode(Child(groupsNode(), 0));

        QString question;
        AnswerNextMessageBox(QMessageBox::No, &question);
        pressDelete();
        QCOMPARE(question, QString("Delete Group \"Group_0\" and all its Members?"));
        QCOMPARE(simulation().Groups.size(), std::size_t{2});
        QCOMPARE(ChildCount(Child(groupsNode(), 0)), 1);

        AnswerNextMessageBox(QMessageBox::Yes);
        pressDelete();
        QCOMPARE(simulation().Groups.size(), std::size_t{1});
        QCOMPARE(ChildCount(groupsNode()), 1);
        QCOMPARE(ComboTexts(groups()), QStringList{"Group_1"});
        QCOMPARE(groups().currentText(), QString("Group_1"));

        // The last group gone, the combo box is empty.
        tree().SelectNode(Child(groupsNode(), 0));
        pressDelete();
        QCOMPARE(groups().count(), 0);
        QCOMPARE(groups().currentText(), QString());
    }

    void aBurstOfAdditionsAndRemovalsEndsOnTheRightNode() {
        TBugGroup* first = NewGroupAccepted(simulation());
        TBugGroup* second = NewGroupAccepted(simulation());
        for (int i = 0; i < 2000; ++i)
            simulation().CreateBug(*first, Vector(i % 100, i / 100));
        QCOMPARE(ChildCount(Child(groupsNode(), 0)), 2000);
        QCOMPARE(SelectedText(tree()), QString("Member_1999"));
        QVERIFY(tree().isExpanded(groupsNode()));
        QVERIFY(tree().isExpanded(Child(groupsNode(), 0)));
        QVERIFY(tree().viewport()->rect().contains(tree().visualRect(tree().currentIndex())));

        // From the end the node before is the previous member; from the front
        // it is the next one.
        while (first->Members.size() > 1000)
            simulation().RemoveBug(*first->Members.back());
        QCOMPARE(SelectedText(tree()), QString("Member_999"));
        simulation().RemoveBug(*first->Members.front());
        QCOMPARE(SelectedText(tree()), QString("Member_1"));
        QCOMPARE(ChildCount(Child(groupsNode(), 0)), 999);

        simulation().RemoveGroup(*first);
        QCOMPARE(SelectedText(tree()), QString("Group_1"));
        simulation().RemoveGroup(*second);
        QCOMPARE(SelectedText(tree()), QString("Groups"));
        QCOMPARE(ChildCount(groupsNode()), 0);
    }

    void deletingABugRepaintsTheArena() {
        TBugGroup* group = NewGroupAccepted(simulation());
        simulation().CreateBug(*group, Vector(100, 50));
        simulation().Repaint();
        QCOMPARE(window->ArenaView().grab().toImage().pixelColor(100, 50), QColor(255, 0, 0));
        tree().SelectNode(Child(Child(groupsNode(), 0), 0));
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
