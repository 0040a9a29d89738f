#include "WidgetsTests.h"

#include "foundations/NamedObject.h"
#include "widgets/ObjectTree.h"
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
    QTreeWidgetItem* groups;
    QTreeWidgetItem* triggers;
    QTreeWidgetItem* obstacles;
    QTreeWidgetItem* groupNode;

    explicit TBrowserTree(TObjectTree& tree) {
        groups = tree.AddNode(nullptr, QStringLiteral("Groups"), nullptr);
        triggers = tree.AddNode(nullptr, QStringLiteral("Trigger"), nullptr);
        obstacles = tree.AddNode(nullptr, QStringLiteral("Obstacles"), nullptr);
        groupNode = tree.AddNode(groups, QStringLiteral("Group_0"), &group);
        tree.AddNode(groupNode, QStringLiteral("Member_0"), &bug1);
        tree.AddNode(groupNode, QStringLiteral("Member_1"), &bug2);
        tree.AddNode(triggers, QStringLiteral("Trigger_0"), &trigger);
        tree.AddNode(obstacles, QStringLiteral("Obstacle_0_Line"), &obstacle);
    }
};

QStringList Outline(const QTreeWidgetItem* node, int depth = 0) {
    QStringList lines{QString(depth, QChar(' ')) + node->text(0)};
    for (int i = 0; i < node->childCount(); ++i)
        lines += Outline(node->child(i), depth + 1);
    return lines;
}

QStringList Outline(const TObjectTree& tree) {
    QStringList lines;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        lines += Outline(tree.topLevelItem(i));
    return lines;
}

} // namespace

class TObjectTreeTests : public QObject {
    Q_OBJECT

private slots:
    void nodesCarryObjectsAndAreFoundInDisplayOrder() {
        TObjectTree tree;
        TBrowserTree content(tree);
        QCOMPARE(Outline(tree),
                 (QStringList{"Groups", " Group_0", "  Member_0", "  Member_1", "Trigger",
                              " Trigger_0", "Obstacles", " Obstacle_0_Line"}));
        QCOMPARE(TObjectTree::ObjectOf(content.groupNode), &content.group);
        QCOMPARE(TObjectTree::ObjectOf(content.groups), nullptr);
        QCOMPARE(TObjectTree::ObjectOf(nullptr), nullptr);
        QCOMPARE(tree.FindNode(&content.bug2)->text(0), QStringLiteral("Member_1"));
        QCOMPARE(tree.FindNode(&content.obstacle)->text(0), QStringLiteral("Obstacle_0_Line"));
        QCOMPARE(tree.FindNode(nullptr), content.groups);
        TNamedObject stranger;
        QCOMPARE(tree.FindNode(&stranger), nullptr);

        // The same object twice: the node shown first wins, a deep one included.
        QTreeWidgetItem* deep =
            tree.AddNode(content.groupNode, QStringLiteral("again"), &content.trigger);
        QCOMPARE(tree.FindNode(&content.trigger), deep);
    }

    void copyTakesAllNodesTextsAndObjects() {
        TObjectTree source;
        TBrowserTree content(source);
        TObjectTree copy;
        copy.AddNode(nullptr, QStringLiteral("old"), nullptr);
        copy.CopyFrom(source);
        QCOMPARE(Outline(copy), Outline(source));
        QTreeWidgetItem* copiedBug = copy.FindNode(&content.bug1);
        QVERIFY(copiedBug != nullptr);
        QVERIFY(copiedBug != source.FindNode(&content.bug1));
        QCOMPARE(copiedBug->text(0), QStringLiteral("Member_0"));
        QCOMPARE(copiedBug->parent()->text(0), QStringLiteral("Group_0"));
        QCOMPARE(copy.FindNode(nullptr)->text(0), QStringLiteral("Groups"));

        // The copy is independent of its source.
        delete content.groupNode;
        QCOMPARE(source.FindNode(&content.bug1), nullptr);
        QCOMPARE(copy.FindNode(&content.bug1), copiedBug);
    }

    void selectObjectExpandsAndSelects() {
        TObjectTree tree;
        TBrowserTree content(tree);
        QVERIFY(!content.groups->isExpanded());
        tree.SelectObject(&content.bug2);
        QCOMPARE(tree.SelectedObject(), &content.bug2);
        QCOMPARE(tree.selectedItems().size(), 1);
        QVERIFY(content.groups->isExpanded());
        QVERIFY(content.groupNode->isExpanded());

        TNamedObject stranger;
        tree.SelectObject(&stranger);
        QCOMPARE(tree.SelectedObject(), &content.bug2);
        tree.SelectObject(nullptr);
        QCOMPARE(tree.currentItem(), content.groups);
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
        QCOMPARE(tree->visualItemRect(content.groupNode).height(), 16);
        QCOMPARE(tree->visualItemRect(content.triggers).height(), 16);

        // A right click selects.
        QTreeWidgetItem* trigger = tree->FindNode(&content.trigger);
        QTest::mouseClick(tree->viewport(), Qt::RightButton, {},
                          tree->visualItemRect(trigger).center());
        QCOMPARE(tree->currentItem(), trigger);
        QCOMPARE(tree->SelectedObject(), &content.trigger);

        // No in-place renaming: a double click opens no editor.
        const QPoint groupPoint = tree->visualItemRect(content.groupNode).center();
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, groupPoint);
        QTest::keyClick(tree, Qt::Key_F2);
        QCOMPARE(tree->findChildren<QLineEdit*>().size(), 0);
        QCOMPARE(content.groupNode->text(0), QStringLiteral("Group_0"));
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
