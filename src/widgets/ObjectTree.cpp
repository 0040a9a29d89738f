#include "widgets/ObjectTree.h"

#include "foundations/NamedObject.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>

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

constexpr int kObjectRole = Qt::UserRole;

} // namespace

TObjectTree::TObjectTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
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
}

QTreeWidgetItem* TObjectTree::AddNode(QTreeWidgetItem* parent, const QString& text,
                                      TNamedObject* object) {
    auto* node = new QTreeWidgetItem(QStringList{text});
    node->setData(0, kObjectRole, QVariant::fromValue(static_cast<void*>(object)));
    if (parent != nullptr)
        parent->addChild(node);
    else
        addTopLevelItem(node);
    return node;
}

TNamedObject* TObjectTree::ObjectOf(const QTreeWidgetItem* node) {
    if (node == nullptr)
        return nullptr;
    return static_cast<TNamedObject*>(node->data(0, kObjectRole).value<void*>());
}

TNamedObject* TObjectTree::SelectedObject() const {
    return ObjectOf(currentItem());
}

QTreeWidgetItem* TObjectTree::FindNode(const TNamedObject* object) const {
    // The iterator walks depth first, parents before children: display order.
    for (QTreeWidgetItemIterator it(const_cast<TObjectTree*>(this)); *it != nullptr; ++it) {
        if (ObjectOf(*it) == object)
            return *it;
    }
    return nullptr;
}

void TObjectTree::CopyFrom(const TObjectTree& other) {
    clear();
    QList<QTreeWidgetItem*> copies;
    copies.reserve(other.topLevelItemCount());
    // clone() copies a node's data, the object reference included, and all
    // its descendants.
    for (int i = 0; i < other.topLevelItemCount(); ++i)
        copies.append(other.topLevelItem(i)->clone());
    addTopLevelItems(copies);
}

void TObjectTree::SelectNode(QTreeWidgetItem* node) {
    if (node == nullptr)
        return;
    for (QTreeWidgetItem* ancestor = node->parent(); ancestor != nullptr;
         ancestor = ancestor->parent())
        ancestor->setExpanded(true);
    setCurrentItem(node);
    scrollToItem(node);
}

void TObjectTree::SelectObject(const TNamedObject* object) {
    SelectNode(FindNode(object));
}

void TObjectTree::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (QTreeWidgetItem* node = itemAt(event->position().toPoint()))
            SelectNode(node);
    }
    QTreeWidget::mousePressEvent(event);
}

} // namespace kova
