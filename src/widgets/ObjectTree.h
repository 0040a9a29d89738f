#pragma once

#include <QPersistentModelIndex>
#include <QTimer>
#include <QTreeView>

namespace kova {

class TNamedObject;
class TObjectTreeModel;

// A read-only view of a TObjectTreeModel: nodes with a text and an optional
// object reference. Lines and expand buttons are drawn at the root as well,
// rows are 16 pixels high, a right click selects the node under the mouse, and
// the selection is not highlighted while the tree has no focus. The tree
// starts with a model of its own; ShowNodesOf makes it show another tree's.
class TObjectTree : public QTreeView {
    Q_OBJECT

public:
    static constexpr int kIndentation = 19;
    static constexpr int kRowHeight = 16;

    explicit TObjectTree(QWidget* parent = nullptr);

    TObjectTreeModel& Model() const { return *model_; }

    // Appends a node to the model under `parent`, or at the top level when it
    // is invalid.
    QModelIndex AddNode(const QModelIndex& parent, const QString& text, TNamedObject* object);

    // Shows the other tree's model (no copy: later changes show in both),
    // all collapsed and with nothing selected.
    void ShowNodesOf(const TObjectTree& other);

    // The node's object; null for a node without one and for an invalid index.
    static TNamedObject* ObjectOf(const QModelIndex& node);
    // The current node and its object, after any pending selection is applied.
    QModelIndex SelectedNode() const;
    TNamedObject* SelectedObject() const;

    // The first node in display order that carries the object. With null this
    // is the first node without an object.
    QModelIndex FindNode(const TNamedObject* object) const;

    // Makes the node current and selected, expanding its ancestors and
    // scrolling it into view.
    void SelectNode(const QModelIndex& node);
    // SelectNode(FindNode(object)); leaves the selection alone when no node
    // carries the object.
    void SelectObject(const TNamedObject* object);

    // SelectNode once control returns to the event loop, or earlier when the
    // selection is asked for. Expanding and scrolling lay out every row shown,
    // so a burst of additions that each want their node selected does that
    // only once, for the last of them.
    void SelectNodeSoon(const QModelIndex& node);
    void ApplyPendingSelection();

signals:
    // The selected node changed because the user or code chose another one
    // (not because nodes were added or removed).
    void selectedNodeChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    TObjectTreeModel* model_;
    QPersistentModelIndex pending_;
    bool hasPending_ = false;
    QTimer pendingTimer_;
};

} // namespace kova
