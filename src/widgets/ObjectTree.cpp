#include "widgets/ObjectTree.h"

#include "widgets/ObjectTreeModel.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace kova {

namespace {

class TFixedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(TObjectTree::kRowHeight);
        return size;
    }
};

} // namespace

TObjectTree::TObjectTree(QWidget* parent) : QTreeView(parent), model_(new TObjectTreeModel(this)) {
    setModel(model_);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setIndentation(kIndentation);
    setUniformRowHeights(true);
    setItemDelegate(new TFixedRowDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAutoScroll(true);

    // Without the focus the selection looks like any other row.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Inactive, QPalette::Base));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Inactive, QPalette::Text));
    setPalette(colours);

    pendingTimer_.setSingleShot(true);
    pendingTimer_.setInterval(0);
    connect(&pendingTimer_, &QTimer::timeout, this, &TObjectTree::ApplyPendingSelection);
}

QModelIndex TObjectTree::AddNode(const QModelIndex& parent, const QString& text,
                                 TNamedObject* object) {
    return model_->AddNode(parent, text, object);
}

void TObjectTree::ShowNodesOf(const TObjectTree& other) {
    hasPending_ = false;
    pending_ = QPersistentModelIndex();
    if (model_ != other.model_) {
        model_ = other.model_;
        setModel(model_);
        return;
    }
    collapseAll();
    selectionModel()->clear();
}

TNamedObject* TObjectTree::ObjectOf(const QModelIndex& node) {
    return TObjectTreeModel::ObjectOf(node);
}

QModelIndex TObjectTree::SelectedNode() const {
    const_cast<TObjectTree*>(this)->ApplyPendingSelection();
    return currentIndex();
}

TNamedObject* TObjectTree::SelectedObject() const {
    return ObjectOf(SelectedNode());
}

QModelIndex TObjectTree::FindNode(const TNamedObject* object) const {
    return model_->FindNode(object);
}

void TObjectTree::SelectNode(const QModelIndex& node) {
    if (!node.isValid() || node.model() != model_)
        return;
    // A node chosen now replaces one chosen for later.
    hasPending_ = false;
    pending_ = QPersistentModelIndex();
    for (QModelIndex ancestor = node.parent(); ancestor.isValid(); ancestor = ancestor.parent())
        expand(ancestor);
    setCurrentIndex(node);
    scrollTo(node);
}

void TObjectTree::SelectObject(const TNamedObject* object) {
    SelectNode(FindNode(object));
}

void TObjectTree::SelectNodeSoon(const QModelIndex& node) {
    if (!node.isValid() || node.model() != model_)
        return;
    pending_ = node;
    hasPending_ = true;
    if (!pendingTimer_.isActive())
        pendingTimer_.start();
}

void TObjectTree::ApplyPendingSelection() {
    if (!hasPending_)
        return;
    const QModelIndex node = pending_;
    SelectNode(node);
    hasPending_ = false;
    pending_ = QPersistentModelIndex();
}

void TObjectTree::mousePressEvent(QMouseEvent* event) {
    // What the user clicks on is chosen after what code chose before.
    ApplyPendingSelection();
    if (event->button() == Qt::RightButton) {
        const QModelIndex node = indexAt(event->position().toPoint());
        if (node.isValid())
            SelectNode(node);
    }
    QTreeView::mousePressEvent(event);
}

void TObjectTree::keyPressEvent(QKeyEvent* event) {
    // Moving with the keys starts from the node chosen last.
    ApplyPendingSelection();
    QTreeView::keyPressEvent(event);
}

void TObjectTree::selectionChanged(const QItemSelection& selected,
                                   const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    if (!model_->IsChanging())
        emit selectedNodeChanged();
}

} // namespace kova
