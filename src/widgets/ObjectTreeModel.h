#pragma once

#include <QAbstractItemModel>

#include <memory>
#include <string>
#include <vector>

namespace kova {

class TNamedObject;

// A tree of nodes, each with a text and an optional object reference (not
// owned), for views of one column. Built for trees with very many nodes: a
// node costs a pointer and its text (a short text needs no memory of its own),
// and appending a node is cheap at any size.
class TObjectTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit TObjectTreeModel(QObject* parent = nullptr);
    ~TObjectTreeModel() override;

    // Appends a node under `parent`, or at the top level when it is invalid.
    QModelIndex AddNode(const QModelIndex& parent, std::string text, TNamedObject* object);
    QModelIndex AddNode(const QModelIndex& parent, const QString& text, TNamedObject* object);
    // Removes the node with all its descendants.
    void RemoveNode(const QModelIndex& node);
    void SetText(const QModelIndex& node, std::string text);
    void Clear();
    // True while nodes are being added or removed: a view's selection that
    // changes then follows the nodes, it is nobody's choice.
    bool IsChanging() const { return changing_; }

    // The node's object; null for a node without one and for an index that
    // belongs to no TObjectTreeModel.
    static TNamedObject* ObjectOf(const QModelIndex& node);
    // The first node in display order that carries the object. With null this
    // is the first node without an object.
    QModelIndex FindNode(const TNamedObject* object) const;
    // The last of the parent's children that carries the object.
    QModelIndex FindChild(const QModelIndex& parent, const TNamedObject* object) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct TNode;
    // The children of one node (or the top-level nodes). An index points at
    // the branch that holds its node; the branch knows its owner by the
    // owner's branch and row.
    struct TBranch {
        TBranch* parent = nullptr;
        int row = 0;
        std::vector<TNode> nodes;
    };
    struct TNode {
        TNamedObject* object = nullptr;
        std::string text;
        std::unique_ptr<TBranch> children;
    };

    static TNode& nodeAt(const QModelIndex& index);
    TBranch* branchOf(const QModelIndex& parent) const;
    QModelIndex find(const TBranch& branch, const TNamedObject* object) const;

    std::unique_ptr<TBranch> root_;
    bool changing_ = false;
};

} // namespace kova
