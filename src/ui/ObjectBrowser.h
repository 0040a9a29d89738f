#pragma once

#include <QMainWindow>
#include <QModelIndex>

#include <functional>
#include <string>

namespace kova {

class TBug;
class TBugGroup;
class TEditHistory;
class TNamedObject;
class TObjectTree;
class TObstacle;
class TSimulation;
class TTrigger;

// The object browser: every group with its bugs, every trigger and every
// obstacle as a tree under the three nodes "Groups", "Trigger" and
// "Obstacles". It holds no objects of its own; the simulation announces every
// object it adds, renames or removes.
class TfrObjectBrowser : public QMainWindow {
    Q_OBJECT
public:
    // Deletions are steps of the history.
    TfrObjectBrowser(TSimulation& simulation, TEditHistory& history, QWidget* parent = nullptr);

    void AddGroup(TBugGroup& group);
    // Under the group's node; nothing when the group has no node.
    void AddBug(TBug& bug, TBugGroup& group);
    void AddTrigger(TTrigger& trigger);
    void AddObstacle(TObstacle& obstacle);
    // Appends a child carrying the object and selects it. The selection (with
    // the expanding and scrolling it brings) is applied once the program is
    // idle or the selection is asked for, so that the many additions of a
    // file being opened or a brush stroke select only once.
    void AddToNode(const QModelIndex& node, const std::string& text, TNamedObject* object);
    // The selected node takes the object's name (edits start from the
    // selected node).
    void UpdateNode(TNamedObject& object);
    // Removes the object's node with its children. The next sibling is
    // selected, else the node before it in tree order.
    void DeleteNode(TNamedObject& object);

    // Edit > Delete: removes the selected object through the simulation,
    // asking first for a group that has members.
    void DeleteSelected();

    TObjectTree& Tree() const { return *tree_; }

signals:
    // The window was closed with its close box.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void editObjectOf(const QModelIndex& node);
    void deleteAsStep(const char* text, const std::function<void()>& remove);
    // The three top-level nodes, in this order; they are never removed.
    QModelIndex topNode(int row) const;

    TSimulation& simulation_;
    TEditHistory& history_;
    TObjectTree* tree_;
};

} // namespace kova
