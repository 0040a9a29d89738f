#pragma once

#include "simulation/Simulation.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

// Each suite of the desktop program's tests runs through one of these.
int RunStartupTests(int argc, char** argv);
int RunArenaToolTests(int argc, char** argv);
int RunObjectBrowserTests(int argc, char** argv);
int RunAnimationControllerTests(int argc, char** argv);
int RunSimulationDialogTests(int argc, char** argv);
int RunCanvasTests(int argc, char** argv);
int RunZoomTests(int argc, char** argv);
int RunUndoTests(int argc, char** argv);
int RunRenderTests(int argc, char** argv);
int RunStatisticsWindowTests(int argc, char** argv);

namespace kova::test {

// The program as it stands after start: the main window shown, and with it
// the three tool windows.
inline std::unique_ptr<TfrMain> StartProgram() {
    auto window = std::make_unique<TfrMain>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    return window;
}

inline QAction* MenuItem(const TfrMain& window, const QString& name) {
    return window.findChild<QAction*>(name);
}

inline QString PanelText(const TfrMain& window, int panel) {
    const auto* label = window.findChild<QLabel*>(QString("StatusPanel%1").arg(panel));
    return label != nullptr ? label->text() : QString("<no panel>");
}

template <typename T> T* Control(const QWidget& window, const char* name) {
    return window.findChild<T*>(name);
}

// Runs `answer` on the next modal window that `wanted` accepts, as soon as it
// is up. Modal dialogs run their own event loop, so the answer has to come
// from a timer.
inline std::vector<QPointer<QTimer>>& PendingAnswers() {
    static std::vector<QPointer<QTimer>> pending;
    return pending;
}

// Drops the answers still waiting for their modal window; false when there
// were any, that is when an expected dialog or message box never came.
inline bool NoAnswerLeftOver() {
    bool none = true;
    for (const QPointer<QTimer>& poll : PendingAnswers())
        if (poll != nullptr && poll->isActive()) {
            none = false;
            poll->stop();
            poll->deleteLater();
        }
    PendingAnswers().clear();
    return none;
}

inline void AnswerNextModal(std::function<bool(QWidget&)> wanted,
                            std::function<void(QWidget&)> answer) {
    auto* poll = new QTimer;
    PendingAnswers().emplace_back(poll);
    auto attempts = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, attempts, wanted, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal != nullptr && wanted(*modal);
        if (!found && ++*attempts < 500)
            return;
        poll->stop();
        poll->deleteLater();
        if (found)
            answer(*modal);
    });
    poll->start(10);
}

// Presses a standard button of the next message box; the text it showed is
// kept in `shown`.
inline void AnswerNextMessageBox(QMessageBox::StandardButton button, QString* shown = nullptr) {
    AnswerNextModal([](QWidget& modal) { return qobject_cast<QMessageBox*>(&modal) != nullptr; },
                    [button, shown](QWidget& modal) {
                        auto& box = static_cast<QMessageBox&>(modal);
                        if (shown != nullptr)
                            *shown = box.text();
                        if (QAbstractButton* answer = box.button(button))
                            answer->click();
                    });
}

// Clicks the push button with this object name on the next modal dialog that
// has one, after `beforeClick` has worked on the dialog.
inline void ClickOnNextDialog(const char* buttonName,
                              std::function<void(QWidget&)> beforeClick = {}) {
    AnswerNextModal(
        [buttonName](QWidget& modal) {
            return modal.findChild<QPushButton*>(buttonName) != nullptr;
        },
        [buttonName, beforeClick](QWidget& modal) {
            if (beforeClick)
                beforeClick(modal);
            modal.findChild<QPushButton*>(buttonName)->click();
        });
}

// Closes the next property editor with OK after `edit` has worked on it. The
// editor opens modally for every new or edited group, bug and trigger.
inline void AcceptNextPropertyEditor(std::function<void(QWidget&)> edit = {}) {
    AnswerNextModal([](QWidget& modal) { return modal.objectName() == "PropertyForm"; },
                    [edit](QWidget& modal) {
                        if (edit)
                            edit(modal);
                        modal.findChild<QPushButton*>("OKButton")->click();
                    });
}

// Objects > "Group" and "Trigger" as a user who takes the editor's defaults.
// Replaces the text of a line edit of the dialog by typing.
inline void TypeInto(QWidget& dialog, const char* editName, const QString& text) {
    auto* edit = Control<QLineEdit>(dialog, editName);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

inline TBugGroup* NewGroupAccepted(TSimulation& simulation) {
    AcceptNextPropertyEditor();
    return simulation.NewGroup();
}
inline TTrigger* NewTriggerAccepted(TSimulation& simulation) {
    AcceptNextPropertyEditor();
    return simulation.NewTrigger();
}

// Mouse events at exact widget positions. (QTest takes the point (0, 0) for
// "the middle of the widget", and the arena's corner matters.)
inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint position,
                      Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(position), widget->mapToGlobal(QPointF(position)), button,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}
inline void Press(QWidget* widget, QPoint position) {
    SendMouse(widget, QEvent::MouseButtonPress, position, Qt::LeftButton);
}
inline void MoveWhilePressed(QWidget* widget, QPoint position) {
    SendMouse(widget, QEvent::MouseMove, position, Qt::LeftButton);
}
inline void Hover(QWidget* widget, QPoint position) {
    SendMouse(widget, QEvent::MouseMove, position, Qt::NoButton);
}
inline void Release(QWidget* widget, QPoint position) {
    SendMouse(widget, QEvent::MouseButtonRelease, position, Qt::NoButton);
}
inline void Click(QWidget* widget, QPoint position) {
    Press(widget, position);
    Release(widget, position);
}
inline void DoubleClick(QWidget* widget, QPoint position) {
    Click(widget, position);
    SendMouse(widget, QEvent::MouseButtonDblClick, position, Qt::LeftButton);
    Release(widget, position);
}

// A drag with the left button, from press to release, through one move.
inline void Drag(QWidget* view, QPoint from, QPoint to) {
    Press(view, from);
    MoveWhilePressed(view, to);
    Release(view, to);
}

// Clicks a check box on its indicator.
inline void ClickCheckBox(QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator =
        box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

// Makes the window the active one, as a click on it would.
inline bool Activate(QWidget& window) {
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

inline QColor ArenaColor(const TSimulation& simulation) {
    const TColor color = simulation.Space.Color;
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

} // namespace kova::test
