#include "ui/ObjectBrowser.h"

#include "simulation/Simulation.h"
#include "widgets/ObjectTree.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>

namespace kova {

namespace {

const char* const kCaption = "Object Browser";
const char* const kGroupsNode = "Groups";
const char* const kTriggerNode = "Trigger";
const char* const kObstaclesNode = "Obstacles";
const char* const kEditMenu = "&Edit";
const char* const kDeleteItem = "Delete";
const char* const kConfirmTitle = "Confirm";

QString confirmGroupDeletion(const TBugGroup& group) {
    return QString("Delete Group \"%1\" and all its Members?")
        .arg(QString::fromStdString(group.Name));
}

QTreeWidgetItem* childAt(QTreeWidget& tree, QTreeWidgetItem* parent, int index) {
    const int count = parent != nullptr ? parent->childCount() : tree.topLevelItemCount();
    if (index < 0 || index >= count)
        return nullptr;
    return parent != nullptr ? parent->child(index) : tree.topLevelItem(index);
}

// The node that comes before this one in tree order: the previous sibling's
// deepest last descendant, or else the parent.
QTreeWidgetItem* nodeBefore(QTreeWidget& tree, QTreeWidgetItem* node) {
    QTreeWidgetItem* parent = node->parent();
    const int index =
        parent != nullptr ? parent->indexOfChild(node) : tree.indexOfTopLevelItem(node);
    QTreeWidgetItem* previous = childAt(tree, parent, index - 1);
    if (previous == nullptr)
        return parent;
    while (previous->childCount() > 0)
        previous = previous->child(previous->childCount() - 1);
    return previous;
}

QTreeWidgetItem* nextSibling(QTreeWidget& tree, QTreeWidgetItem* node) {
    QTreeWidgetItem* parent = node->parent();
    const int index =
        parent != nullptr ? parent->indexOfChild(node) : tree.indexOfTopLevelItem(node);
    return childAt(tree, parent, index + 1);
}

} // namespace

TfrObjectBrowser::TfrObjectBrowser(TSimulation& simulation, QWidget* parent)
    : QMainWindow(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      simulation_(simulation) {
    setObjectName("frObjectBrowser");
    setWindowTitle(kCaption);
    resize(172, 387);

    tree_ = new TObjectTree;
    tree_->setObjectName("ObjectTreeView");
    tree_->setHeaderHidden(true);
    tree_->setIndentation(19);
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setAutoScroll(true);
    setCentralWidget(tree_);

    groupsNode_ = tree_->AddNode(nullptr, kGroupsNode, nullptr);
    triggerNode_ = tree_->AddNode(nullptr, kTriggerNode, nullptr);
    obstaclesNode_ = tree_->AddNode(nullptr, kObstaclesNode, nullptr);

    QMenu* editMenu = menuBar()->addMenu(kEditMenu);
    QAction* deleteItem = editMenu->addAction(kDeleteItem);
    deleteItem->setObjectName("DeleteMI");
    deleteItem->setShortcut(QKeySequence(Qt::Key_Delete));
    connect(deleteItem, &QAction::triggered, this, &TfrObjectBrowser::DeleteSelected);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { editObjectOf(item); });
}

void TfrObjectBrowser::AddGroup(TBugGroup& group) {
    AddToNode(groupsNode_, QString::fromStdString(group.Name), &group);
}

void TfrObjectBrowser::AddBug(TBug& bug, TBugGroup& group) {
    // A group is only ever attached to its node under "Groups", so looking
    // there finds the same node as a search of the whole tree.
    for (int i = 0; i < groupsNode_->childCount(); ++i) {
        QTreeWidgetItem* node = groupsNode_->child(i);
        if (tree_->ObjectOf(node) == &group) {
            AddToNode(node, QString::fromStdString(bug.Name), &bug);
            return;
        }
    }
}

void TfrObjectBrowser::AddTrigger(TTrigger& trigger) {
    AddToNode(triggerNode_, QString::fromStdString(trigger.Name), &trigger);
}

void TfrObjectBrowser::AddObstacle(TObstacle& obstacle) {
    AddToNode(obstaclesNode_, QString::fromStdString(obstacle.Name), &obstacle);
}

void TfrObjectBrowser::AddToNode(QTreeWidgetItem* node, const QString& text, TNamedObject* object) {
    tree_->SelectNode(tree_->AddNode(node, text, object));
}

void TfrObjectBrowser::UpdateNode(TNamedObject& object) {
    if (QTreeWidgetItem* selected = tree_->currentItem())
        selected->setText(0, QString::fromStdString(object.Name));
}

void TfrObjectBrowser::DeleteNode(TNamedObject& object) {
    QTreeWidgetItem* node = tree_->FindNode(&object);
    if (node == nullptr)
        return;
    QTreeWidgetItem* select = nextSibling(*tree_, node);
    if (select == nullptr)
        select = nodeBefore(*tree_, node);
    if (select != nullptr)
        tree_->SelectNode(select);
    delete node;
}

void TfrObjectBrowser::DeleteSelected() {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty())
        return;
    TNamedObject* object = tree_->ObjectOf(selected.first());
    if (object == nullptr)
        return;
    if (auto* group = dynamic_cast<TBugGroup*>(object)) {
        if (!group->Members.empty() &&
            QMessageBox::question(this, kConfirmTitle, confirmGroupDeletion(*group),
                                  QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
        simulation_.RemoveGroup(*group);
    } else if (auto* bug = dynamic_cast<TBug*>(object)) {
        simulation_.RemoveBug(*bug);
    } else if (auto* trigger = dynamic_cast<TTrigger*>(object)) {
        simulation_.RemoveTrigger(*trigger);
    } else if (auto* obstacle = dynamic_cast<TObstacle*>(object)) {
        simulation_.RemoveObstacle(*obstacle);
    }
}

void TfrObjectBrowser::editObjectOf(QTreeWidgetItem* item) {
    TNamedObject* object = tree_->ObjectOf(item);
    if (auto* group = dynamic_cast<TBugGroup*>(object))
        simulation_.EditGroup(*group);
    else if (auto* bug = dynamic_cast<TBug*>(object))
        simulation_.EditBug(*bug);
    else if (auto* trigger = dynamic_cast<TTrigger*>(object))
        simulation_.EditTrigger(*trigger);
}

void TfrObjectBrowser::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

} // namespace kova
