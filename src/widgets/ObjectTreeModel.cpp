#include "widgets/ObjectTreeModel.h"

#include <QScopedValueRollback>

namespace kova {

TObjectTreeModel::TObjectTreeModel(QObject* parent)
    : QAbstractItemModel(parent), root_(std::make_unique<TBranch>()) {}

TObjectTreeModel::~TObjectTreeModel() = default;

TObjectTreeModel::TNode& TObjectTreeModel::nodeAt(const QModelIndex& index) {
    auto* branch = static_cast<TBranch*>(index.internalPointer());
    return branch->nodes[static_cast<std::size_t>(index.row())];
}

TObjectTreeModel::TBranch* TObjectTreeModel::branchOf(const QModelIndex& parent) const {
    if (!parent.isValid())
        return root_.get();
    return nodeAt(parent).children.get();
}

QModelIndex TObjectTreeModel::AddNode(const QModelIndex& parent, std::string text,
                                      TNamedObject* object) {
    if (parent.isValid() && parent.model() != this)
        return {};
    TBranch* branch = branchOf(parent);
    if (branch == nullptr) {
        TNode& owner = nodeAt(parent);
        owner.children = std::make_unique<TBranch>();
        owner.children->parent = static_cast<TBranch*>(parent.internalPointer());
        owner.children->row = parent.row();
        branch = owner.children.get();
    }
    const int row = static_cast<int>(branch->nodes.size());
    const QScopedValueRollback changing(changing_, true);
    beginInsertRows(parent, row, row);
    branch->nodes.push_back(TNode{object, std::move(text), nullptr});
    endInsertRows();
    return createIndex(row, 0, branch);
}

QModelIndex TObjectTreeModel::AddNode(const QModelIndex& parent, const QString& text,
                                      TNamedObject* object) {
    return AddNode(parent, text.toStdString(), object);
}

void TObjectTreeModel::RemoveNode(const QModelIndex& node) {
    if (!node.isValid() || node.model() != this)
        return;
    auto* branch = static_cast<TBranch*>(node.internalPointer());
    const int row = node.row();
    const QScopedValueRollback changing(changing_, true);
    beginRemoveRows(node.parent(), row, row);
    branch->nodes.erase(branch->nodes.begin() + row);
    // The owners that moved up tell their children so.
    for (std::size_t i = static_cast<std::size_t>(row); i < branch->nodes.size(); ++i)
        if (branch->nodes[i].children)
            branch->nodes[i].children->row = static_cast<int>(i);
    endRemoveRows();
}

void TObjectTreeModel::SetText(const QModelIndex& node, std::string text) {
    if (!node.isValid() || node.model() != this)
        return;
    nodeAt(node).text = std::move(text);
    emit dataChanged(node, node, {Qt::DisplayRole});
}

void TObjectTreeModel::Clear() {
    const QScopedValueRollback changing(changing_, true);
    beginResetModel();
    root_->nodes.clear();
    endResetModel();
}

TNamedObject* TObjectTreeModel::ObjectOf(const QModelIndex& node) {
    if (!node.isValid() || qobject_cast<const TObjectTreeModel*>(node.model()) == nullptr)
        return nullptr;
    return nodeAt(node).object;
}

QModelIndex TObjectTreeModel::find(const TBranch& branch, const TNamedObject* object) const {
    for (std::size_t i = 0; i < branch.nodes.size(); ++i) {
        const TNode& node = branch.nodes[i];
        if (node.object == object)
            return createIndex(static_cast<int>(i), 0, const_cast<TBranch*>(&branch));
        if (node.children) {
            const QModelIndex found = find(*node.children, object);
            if (found.isValid())
                return found;
        }
    }
    return {};
}

QModelIndex TObjectTreeModel::FindNode(const TNamedObject* object) const {
    return find(*root_, object);
}

QModelIndex TObjectTreeModel::FindChild(const QModelIndex& parent,
                                        const TNamedObject* object) const {
    const TBranch* branch = branchOf(parent);
    if (branch == nullptr)
        return {};
    // Children are mostly looked for just after they were added: start at the end.
    for (std::size_t i = branch->nodes.size(); i-- > 0;)
        if (branch->nodes[i].object == object)
            return createIndex(static_cast<int>(i), 0, const_cast<TBranch*>(branch));
    return {};
}

QModelIndex TObjectTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || (parent.isValid() && parent.column() != 0))
        return {};
    TBranch* branch = branchOf(parent);
    if (branch == nullptr || static_cast<std::size_t>(row) >= branch->nodes.size())
        return {};
    return createIndex(row, 0, branch);
}

QModelIndex TObjectTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    auto* branch = static_cast<TBranch*>(child.internalPointer());
    if (branch == root_.get())
        return {};
    return createIndex(branch->row, 0, branch->parent);
}

int TObjectTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const TBranch* branch = branchOf(parent);
    return branch != nullptr ? static_cast<int>(branch->nodes.size()) : 0;
}

int TObjectTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool TObjectTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant TObjectTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return QString::fromStdString(nodeAt(index).text);
}

Qt::ItemFlags TObjectTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace kova
