#pragma once

#include <QListWidget>

#include <vector>

namespace kova {

class TNamedObject;

// A list box of (text, object) items, the objects not owned. The Delete key
// removes the selected item; a list with its own context menu pops it up on a
// right click.
class TObjectListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TObjectListBox(QWidget* parent = nullptr);

    void AddItem(const QString& text, TNamedObject* object);
    bool Contains(const TNamedObject* object) const;
    TNamedObject* ObjectAt(int row) const;
    // The objects in list order.
    std::vector<TNamedObject*> Objects() const;
    // Removes the selected item; nothing when none is selected.
    void DeleteSelected();

    // The menu a right click pops up (not owned; none for no menu).
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QMenu* popupMenu_ = nullptr;
};

// The objects of the list cast to the type they were added as.
template <typename T> std::vector<T*> ObjectsOf(const TObjectListBox& list) {
    std::vector<T*> objects;
    for (TNamedObject* object : list.Objects())
        objects.push_back(static_cast<T*>(object));
    return objects;
}

} // namespace kova
