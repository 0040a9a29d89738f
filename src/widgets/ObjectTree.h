#pragma once

#include <QTreeWidget>

namespace kova {

class TNamedObject;

// A read-only tree whose nodes carry a text and an optional object reference
// (not owned). Lines and expand buttons are drawn at the root as well, rows are
// 16 pixels high, a right click selects the node under the mouse, and the
// selection is not highlighted while the tree has no focus.
class TObjectTree : public QTreeWidget {
    Q_OBJECT

public:
    static constexpr int kIndentation = 19;
    static constexpr int kRowHeight = 16;

    explicit TObjectTree(QWidget* parent = nullptr);

    // Appends a node under `parent`, or at the top level when it is null.
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& text, TNamedObject* object);

    // The node's object; null for a node without one and for a null node.
    static TNamedObject* ObjectOf(const QTreeWidgetItem* node);
    TNamedObject* SelectedObject() const;

    // The first node in display order that carries the object. With null this
    // is the first node without an object.
    QTreeWidgetItem* FindNode(const TNamedObject* object) const;

    // Replaces all nodes by copies of the other tree's nodes, texts and objects.
    void CopyFrom(const TObjectTree& other);

    // Makes the node current and selected, expanding its ancestors and
    // scrolling it into view.
    void SelectNode(QTreeWidgetItem* node);
    // SelectNode(FindNode(object)); leaves the selection alone when no node
    // carries the object.
    void SelectObject(const TNamedObject* object);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace kova
