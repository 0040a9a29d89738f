#pragma once

#include "MainWindowTests.h"

#include "steering/SteeringBehaviour.h"
#include "ui/BehaviourPages.h"
#include "ui/PropertyForm.h"
#include "widgets/FloatEdit.h"
#include "widgets/ObjectTree.h"
#include "widgets/SpinEdit.h"

#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>

// The suites of the property editor, the behaviour pages and the export
// dialog.
int RunPropertyFormTests(int argc, char** argv);
int RunBehaviourPageTests(int argc, char** argv);
int RunExportDialogTests(int argc, char** argv);

namespace kova::test {

// The item reached through the captions of a menu and its sub-menus.
inline QAction* MenuAction(const QMenu* menu, const QStringList& captions) {
    for (int level = 0; menu != nullptr && level < captions.size(); ++level) {
        QAction* found = nullptr;
        for (QAction* item : menu->actions())
            if (item->text() == captions[level])
                found = item;
        if (found == nullptr || level == captions.size() - 1)
            return found;
        menu = found->menu();
    }
    return nullptr;
}

// A menu's captions in order, separators as "-".
inline QStringList MenuCaptions(const QMenu* menu) {
    QStringList captions;
    for (const QAction* item : menu->actions())
        captions << (item->isSeparator() ? QString("-") : item->text());
    return captions;
}

// Runs `answer` on the next pop-up menu as soon as it is up, then closes it.
inline void AnswerNextPopup(std::function<void(QMenu&)> answer) {
    auto* poll = new QTimer;
    PendingAnswers().emplace_back(poll);
    auto attempts = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, attempts, answer] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr && ++*attempts < 500)
            return;
        poll->stop();
        poll->deleteLater();
        if (menu != nullptr) {
            answer(*menu);
            menu->close();
        }
    });
    poll->start(10);
}

// Clicks a radio button on its indicator (the middle of a stretched button
// may lie outside its clickable part).
inline void ClickRadioButton(QRadioButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect indicator =
        button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, {}, indicator.center());
}

// Clicks the check box in a checkable group box's title.
inline void ClickTitleCheckBox(QGroupBox* box) {
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.textAlignment = box->alignment();
    option.lineWidth = 1;
    option.subControls =
        QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxCheckBox | QStyle::SC_GroupBoxLabel;
    option.state |= box->isChecked() ? QStyle::State_On : QStyle::State_Off;
    const QRect indicator = box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                         QStyle::SC_GroupBoxCheckBox, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

// A right click on the widget at its centre, as the window system reports it.
inline void RightClick(QWidget* widget) {
    const QPoint at = widget->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
}

// The open property editor, seen through its controls.
class TEditorView {
public:
    explicit TEditorView(QWidget& form) : form_(form) {}

    QWidget& form() const { return form_; }
    TBehaviourArea& area() const { return *form_.findChild<TBehaviourArea*>(); }
    QTabWidget& pages() const { return area().PageControl(); }
    QWidget* page(int index) const { return pages().widget(index); }
    QStringList captions() const {
        QStringList texts;
        for (int i = 0; i < pages().count(); ++i)
            texts << pages().tabText(i);
        return texts;
    }
    template <typename T> T* control(const char* name) const { return Control<T>(form_, name); }
    template <typename T> T* onPage(int index, const char* prefix) const {
        return FindControl<T>(prefix, page(index));
    }

    // "Add Steering Behaviour" > caption from the steering behaviour menu.
    void addBehaviour(const char* caption) const {
        MenuAction(area().SBPopupMenu(), {"Add Steering Behaviour", caption})->trigger();
    }
    void deleteCurrentBehaviour() const {
        MenuAction(area().SBPopupMenu(), {"Delete Current Steering Behaviour"})->trigger();
    }
    void chooseCombination(const char* buttonName) const {
        ClickRadioButton(control<QRadioButton>(buttonName));
    }
    // Presses the spin edit's up arrow key `steps` times (typing is off).
    void stepUp(int index, const char* prefix, int steps) const {
        pages().setCurrentIndex(index);
        auto* spin = onPage<TSpinEdit>(index, prefix);
        for (int i = 0; i < steps; ++i)
            QTest::keyClick(spin, Qt::Key_Up);
    }
    // Selects the edit's text and types over it.
    static void type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    void typeOnPage(int index, const char* prefix, const QString& text) const {
        pages().setCurrentIndex(index);
        type(onPage<QLineEdit>(index, prefix), text);
    }
    void clickRadioButton(int index, const char* prefix) const {
        pages().setCurrentIndex(index);
        ClickRadioButton(onPage<QRadioButton>(index, prefix));
    }
    // Clicks the node with this text in the page's bug target tree.
    void clickTreeNode(int index, const QString& text) const {
        pages().setCurrentIndex(index);
        auto* tree = onPage<TObjectTree>(index, "BugTargetTree");
        const QModelIndexList nodes =
            tree->model()->match(tree->model()->index(0, 0), Qt::DisplayRole, text, 1,
                                 Qt::MatchExactly | Qt::MatchRecursive | Qt::MatchWrap);
        if (nodes.isEmpty())
            return;
        for (QModelIndex above = nodes.first().parent(); above.isValid(); above = above.parent())
            tree->expand(above);
        tree->scrollTo(nodes.first());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualRect(nodes.first()).center());
    }
    QStringList listTexts(const char* name) const { return texts(*control<QListWidget>(name)); }
    static QStringList texts(const QListWidget& list) {
        QStringList items;
        for (int row = 0; row < list.count(); ++row)
            items << list.item(row)->text();
        return items;
    }

private:
    QWidget& form_;
};

// Runs `edit` on the next property editor, then presses its button
// ("OKButton" or "CancelButton").
inline void AnswerNextEditor(std::function<void(TEditorView&)> edit,
                             const char* button = "OKButton") {
    AnswerNextModal([](QWidget& modal) { return modal.objectName() == "PropertyForm"; },
                    [edit, button](QWidget& modal) {
                        TEditorView view(modal);
                        if (edit)
                            edit(view);
                        modal.findChild<QPushButton*>(button)->click();
                    });
}

} // namespace kova::test
