#include "WidgetsTests.h"

#include "foundations/NamedObject.h"
#include "widgets/ObjectTree.h"
#include "widgets/ObjectTreeModel.h"
#include "widgets/SpinEdit.h"

#include <QLineEdit>
#include <QVBoxLayout>

using kova::TNamedObject;
using kova::TObjectTree;

namespace {

// The object browser's shape: three top-level nodes without objects, a group
// with two bugs, a trigger and an obstacle.
struct TBrowserTree {
    TNamedObject group;
    TNamedObject bug1;
    TNamedObject bug2;
    TNamedObject trigger;
    TNamedObject obstacle;
    QPersistentModelIndex groups;
    QPersistentModelIndex triggers;
    QPersistentModelIndex obstacles;
    QPersistentModelIndex groupNode;

    explicit TBrowserTree(TObjectTree& tree) {
        groups = tree.AddNode({}, QStringLiteral("Groups"), nullptr);
        triggers = tree.AddNode({}, QStringLiteral("Trigger"), nullptr);
        obstacles = tree.AddNode({}, QStringLiteral("Obstacles"), nullptr);
        groupNode = tree.AddNode(groups, QStringLiteral("Group_0"), &group);
        tree.AddNode(groupNode, QStringLiteral("Member_0"), &bug1);
        tree.AddNode(groupNode, QStringLiteral("Member_1"), &bug2);
        tree.AddNode(triggers, QStringLiteral("Trigger_0"), &trigger);
        tree.AddNode(obstacles, QStringLiteral("Obstacle_0_Line"), &obstacle);
    }
};

QStringList Outline(const QAbstractItemModel& model, const QModelIndex& parent = {},
                    int depth = 0) {
    QStringList lines;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex node = model.index(row, 0, parent);
        lines << QString(depth, QChar(' ')) + node.data().toString();
        lines += Outline(model, node, depth + 1);
    }
    return lines;
}

QString TextOf(const QModelIndex& node) {
    return node.data().toString();
}

} // namespace

class TObjectTreeTests : public QObject {
    Q_OBJECT

private slots:
    void nodesCarryObjectsAndAreFoundInDisplayOrder() {
        TObjectTree tree;
        TBrowserTree content(tree);
        QCOMPARE(Outline(*tree.model()),
                 (QStringList{"Groups", " Group_0", "  Member_0", "  Member_1", "Trigger",
                              " Trigger_0", "Obstacles", " Obstacle_0_Line"}));
        QCOMPARE(TObjectTree::ObjectOf(content.groupNode), &content.group);
        QCOMPARE(TObjectTree::ObjectOf(content.groups), nullptr);
        QCOMPARE(TObjectTree::ObjectOf(QModelIndex()), nullptr);
        QCOMPARE(TextOf(tree.FindNode(&content.bug2)), QStringLiteral("Member_1"));
        QCOMPARE(TextOf(tree.FindNode(&content.obstacle)), QStringLiteral("Obstacle_0_Line"));
        QCOMPARE(tree.FindNode(nullptr), QModelIndex(content.groups));
        TNamedObject stranger;
        QVERIFY(!tree.FindNode(&stranger).isValid());

        // The same object twice: the node shown first wins, a deep one included.
        const QModelIndex deep =
            tree.AddNode(content.groupNode, QStringLiteral("again"), &content.trigger);
        QCOMPARE(tree.FindNode(&content.trigger), deep);
    }

    void removingANodeTakesItsChildrenAndKeepsTheOthersInPlace() {
        TObjectTree tree;
        TBrowserTree content(tree);
        kova::TObjectTreeModel& model = tree.Model();
        TNamedObject group2;
        TNamedObject bug3;
        const QModelIndex second = model.AddNode(content.groups, std::string("Group_1"), &group2);
        model.AddNode(second, std::string("Member_2"), &bug3);

        model.RemoveNode(content.groupNode);
        QCOMPARE(Outline(model), (QStringList{"Groups", " Group_1", "  Member_2", "Trigger",
                                              " Trigger_0", "Obstacles", " Obstacle_0_Line"}));
        QVERIFY(!tree.FindNode(&content.bug1).isValid());
        // Group_1 moved up a row; its member still finds its way back to it.
        const QModelIndex member = tree.FindNode(&bug3);
        QCOMPARE(member.parent().row(), 0);
        QCOMPARE(TObjectTree::ObjectOf(member.parent()), &group2);
        model.SetText(member, "Renamed");
        QCOMPARE(TextOf(tree.FindNode(&bug3)), QStringLiteral("Renamed"));
    }

    void aTreeShowingAnothersNodesFollowsThemWithItsOwnSelection() {
        TObjectTree source;
        TBrowserTree content(source);
        source.SelectObject(&content.trigger);
        TObjectTree shown;
        shown.AddNode({}, QStringLiteral("old"), nullptr);
        shown.ShowNodesOf(source);
        QCOMPARE(Outline(*shown.model()), Outline(*source.model()));
        QVERIFY(!shown.SelectedNode().isValid());
        QVERIFY(!shown.isExpanded(shown.FindNode(&content.group)));

        shown.SelectObject(&content.bug1);
        QCOMPARE(shown.SelectedObject(), &content.bug1);
        QCOMPARE(TextOf(shown.SelectedNode().parent()), QStringLiteral("Group_0"));
        QCOMPARE(source.SelectedObject(), &content.trigger);

        // Shown again: all collapsed, nothing selected.
        shown.ShowNodesOf(source);
        QVERIFY(!shown.SelectedNode().isValid());
        QVERIFY(!shown.isExpanded(shown.FindNode(&content.group)));

        // A removal in the source shows at once.
        source.Model().RemoveNode(content.groupNode);
        QVERIFY(!shown.FindNode(&content.bug1).isValid());
    }

    void selectObjectExpandsAndSelects() {
        TObjectTree tree;
        TBrowserTree content(tree);
        QVERIFY(!tree.isExpanded(content.groups));
        tree.SelectObject(&content.bug2);
        QCOMPARE(tree.SelectedObject(), &content.bug2);
        QCOMPARE(tree.selectionModel()->selectedIndexes().size(), 1);
        QVERIFY(tree.isExpanded(content.groups));
        QVERIFY(tree.isExpanded(content.groupNode));

        TNamedObject stranger;
        tree.SelectObject(&stranger);
        QCOMPARE(tree.SelectedObject(), &content.bug2);
        tree.SelectObject(nullptr);
        QCOMPARE(tree.currentIndex(), QModelIndex(content.groups));
    }

    void aSelectionForLaterIsAppliedWhenAskedForOrIdle() {
        TObjectTree tree;
        TBrowserTree content(tree);
        tree.SelectNodeSoon(tree.FindNode(&content.bug1));
        tree.SelectNodeSoon(tree.FindNode(&content.trigger));
        // Asked for, the last one chosen is applied.
        QCOMPARE(tree.SelectedObject(), &content.trigger);
        QVERIFY(tree.isExpanded(content.triggers));

        tree.SelectNodeSoon(tree.FindNode(&content.bug2));
        QCOMPARE(tree.currentIndex(), tree.FindNode(&content.trigger));
        QTRY_COMPARE(tree.currentIndex(), tree.FindNode(&content.bug2));
        QVERIFY(tree.isExpanded(content.groupNode));

        // A node chosen at once replaces one chosen for later.
        tree.SelectNodeSoon(tree.FindNode(&content.bug1));
        tree.SelectObject(&content.obstacle);
        QCOMPARE(tree.SelectedObject(), &content.obstacle);
    }

    void lookAndMouse() {
        QWidget window;
        auto* tree = new TObjectTree(&window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(tree);
        window.resize(200, 300);
        TBrowserTree content(*tree);
        tree->expandAll();
        QVERIFY(kova::test::ShowActive(window));

        QCOMPARE(tree->indentation(), 19);
        QVERIFY(tree->rootIsDecorated());
        QCOMPARE(tree->visualRect(content.groupNode).height(), 16);
        QCOMPARE(tree->visualRect(content.triggers).height(), 16);

        // A right click selects.
        const QModelIndex trigger = tree->FindNode(&content.trigger);
        QTest::mouseClick(tree->viewport(), Qt::RightButton, {},
                          tree->visualRect(trigger).center());
        QCOMPARE(tree->currentIndex(), trigger);
        QCOMPARE(tree->SelectedObject(), &content.trigger);

        // No in-place renaming: a double click opens no editor.
        const QPoint groupPoint = tree->visualRect(content.groupNode).center();
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, groupPoint);
        QTest::keyClick(tree, Qt::Key_F2);
        QCOMPARE(tree->findChildren<QLineEdit*>().size(), 0);
        QCOMPARE(TextOf(content.groupNode), QStringLiteral("Group_0"));
    }

    void spinEditWithAndWithoutTyping() {
        QWidget window;
        auto* spin = new kova::TSpinEdit(0, 1000, 15, &window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(spin);
        QVERIFY(kova::test::ShowActive(window));
        spin->setFocus(Qt::OtherFocusReason);

        QVERIFY(spin->TypingEnabled());
        spin->selectAll();
        QTest::keyClicks(spin, QStringLiteral("250"));
        QCOMPARE(spin->value(), 250);
        QTest::keyClicks(spin, QStringLiteral("0"));
        QCOMPARE(spin->value(), 250); // 2500 is out of range

        spin->SetTypingEnabled(false);
        QVERIFY(!spin->TypingEnabled());
        spin->selectAll();
        QTest::keyClicks(spin, QStringLiteral("7"));
        QCOMPARE(spin->value(), 250);
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(spin->value(), 251);
        QTest::keyClick(spin, Qt::Key_Down);
        QTest::keyClick(spin, Qt::Key_Down);
        QCOMPARE(spin->value(), 249);
        spin->setValue(1000);
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(spin->value(), 1000);
    }
};

int RunObjectTreeTests(int argc, char** argv) {
    TObjectTreeTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "ObjectTreeTests.moc"
