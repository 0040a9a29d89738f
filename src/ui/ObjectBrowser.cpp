#include "ui/ObjectBrowser.h"

#include "simulation/Simulation.h"
#include "ui/EditHistory.h"
#include "widgets/ObjectTree.h"
#include "widgets/ObjectTreeModel.h"

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

enum TTopNode { kGroupsRow, kTriggerRow, kObstaclesRow };

// The node that comes before this one in tree order: the previous sibling's
// deepest last descendant, or else the parent.
QModelIndex nodeBefore(const QModelIndex& node) {
    QModelIndex previous = node.siblingAtRow(node.row() - 1);
    if (!previous.isValid())
        return node.parent();
    const QAbstractItemModel& model = *node.model();
    for (int count = model.rowCount(previous); count > 0; count = model.rowCount(previous))
        previous = model.index(count - 1, 0, previous);
    return previous;
}

} // namespace

TfrObjectBrowser::TfrObjectBrowser(TSimulation& simulation, TEditHistory& history, QWidget* parent)
    : QMainWindow(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      simulation_(simulation), history_(history) {
    setObjectName("frObjectBrowser");
    setWindowTitle(kCaption);
    resize(172, 387);

    tree_ = new TObjectTree;
    tree_->setObjectName("ObjectTreeView");
    setCentralWidget(tree_);

    tree_->AddNode({}, kGroupsNode, nullptr);
    tree_->AddNode({}, kTriggerNode, nullptr);
    tree_->AddNode({}, kObstaclesNode, nullptr);

    QMenu* editMenu = menuBar()->addMenu(kEditMenu);
    QAction* deleteItem = editMenu->addAction(kDeleteItem);
    deleteItem->setObjectName("DeleteMI");
    deleteItem->setShortcut(QKeySequence(Qt::Key_Delete));
    connect(deleteItem, &QAction::triggered, this, &TfrObjectBrowser::DeleteSelected);
    connect(tree_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& node) { editObjectOf(node); });
}

QModelIndex TfrObjectBrowser::topNode(int row) const {
    return tree_->Model().index(row, 0);
}

void TfrObjectBrowser::AddGroup(TBugGroup& group) {
    AddToNode(topNode(kGroupsRow), group.Name, &group);
}

void TfrObjectBrowser::AddBug(TBug& bug, TBugGroup& group) {
    // A group is only ever attached to its node under "Groups", so looking
    // there finds the same node as a search of the whole tree.
    const QModelIndex node = tree_->Model().FindChild(topNode(kGroupsRow), &group);
    if (node.isValid())
        AddToNode(node, bug.Name, &bug);
}

void TfrObjectBrowser::AddTrigger(TTrigger& trigger) {
    AddToNode(topNode(kTriggerRow), trigger.Name, &trigger);
}

void TfrObjectBrowser::AddObstacle(TObstacle& obstacle) {
    AddToNode(topNode(kObstaclesRow), obstacle.Name, &obstacle);
}

void TfrObjectBrowser::AddToNode(const QModelIndex& node, const std::string& text,
                                 TNamedObject* object) {
    tree_->SelectNodeSoon(tree_->Model().AddNode(node, text, object));
}

void TfrObjectBrowser::UpdateNode(TNamedObject& object) {
    const QModelIndex selected = tree_->SelectedNode();
    if (selected.isValid())
        tree_->Model().SetText(selected, object.Name);
}

void TfrObjectBrowser::DeleteNode(TNamedObject& object) {
    const QModelIndex node = tree_->FindNode(&object);
    if (!node.isValid())
        return;
    QModelIndex select = node.siblingAtRow(node.row() + 1);
    if (!select.isValid())
        select = nodeBefore(node);
    // Selected once the program is idle: when a whole group goes, the
    // members' rows are laid out no more than once.
    if (select.isValid())
        tree_->SelectNodeSoon(select);
    tree_->Model().RemoveNode(node);
}

void TfrObjectBrowser::DeleteSelected() {
    tree_->ApplyPendingSelection();
    const QModelIndexList selected = tree_->selectionModel()->selectedIndexes();
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
        deleteAsStep("Delete Group", [&] { simulation_.RemoveGroup(*group); });
    } else if (auto* bug = dynamic_cast<TBug*>(object)) {
        deleteAsStep("Delete Bug", [&] { simulation_.RemoveBug(*bug); });
    } else if (auto* trigger = dynamic_cast<TTrigger*>(object)) {
        deleteAsStep("Delete Trigger", [&] { simulation_.RemoveTrigger(*trigger); });
    } else if (auto* obstacle = dynamic_cast<TObstacle*>(object)) {
        deleteAsStep("Delete Obstacle", [&] { simulation_.RemoveObstacle(*obstacle); });
    }
}

void TfrObjectBrowser::deleteAsStep(const char* text, const std::function<void()>& remove) {
    history_.Record(text, [&] {
        remove();
        return true;
    });
}

void TfrObjectBrowser::editObjectOf(const QModelIndex& node) {
    TNamedObject* object = tree_->ObjectOf(node);
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
