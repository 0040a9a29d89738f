#include "ui/ObjectListBox.h"

#include "foundations/NamedObject.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace kova {

namespace {

constexpr int kObjectRole = Qt::UserRole;

} // namespace

TObjectListBox::TObjectListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void TObjectListBox::AddItem(const QString& text, TNamedObject* object) {
    auto* item = new QListWidgetItem(text, this);
    item->setData(kObjectRole, QVariant::fromValue(static_cast<void*>(object)));
}

bool TObjectListBox::Contains(const TNamedObject* object) const {
    for (int row = 0; row < count(); ++row)
        if (ObjectAt(row) == object)
            return true;
    return false;
}

TNamedObject* TObjectListBox::ObjectAt(int row) const {
    const QListWidgetItem* entry = item(row);
    if (entry == nullptr)
        return nullptr;
    return static_cast<TNamedObject*>(entry->data(kObjectRole).value<void*>());
}

std::vector<TNamedObject*> TObjectListBox::Objects() const {
    std::vector<TNamedObject*> objects;
    objects.reserve(static_cast<std::size_t>(count()));
    for (int row = 0; row < count(); ++row)
        objects.push_back(ObjectAt(row));
    return objects;
}

void TObjectListBox::DeleteSelected() {
    const QList<QListWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return;
    delete takeItem(row(selected.first()));
}

void TObjectListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        DeleteSelected();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void TObjectListBox::contextMenuEvent(QContextMenuEvent* event) {
    if (popupMenu_ == nullptr) {
        QListWidget::contextMenuEvent(event);
        return;
    }
    // A right click also selects the item under the mouse.
    if (QListWidgetItem* under = itemAt(viewport()->mapFromGlobal(event->globalPos())))
        setCurrentItem(under);
    popupMenu_->exec(event->globalPos());
}

} // namespace kova
