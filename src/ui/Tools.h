#pragma once

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QToolButton;

namespace kova {

class TBugGroup;
class TFloatEdit;
class TFrameTimer;
class TSimulation;

enum class TArenaTool { None, Bug, Line, Ellipse };

// The tools window: the three arena tools, the group new bugs are taken from
// and the density of the bug brush. It mirrors the simulation's groups in its
// combo box; the simulation tells it about every group added, renamed or
// removed.
class TfrTools : public QWidget {
    Q_OBJECT
public:
    TfrTools(TSimulation& simulation, TFrameTimer& frames, QWidget* parent = nullptr);

    // Appends the group and makes it the current item.
    void AddGroup(TBugGroup& group);
    // Renames the group's item; the current item stays current.
    void UpdateGroup(TBugGroup& group);
    // Removes the group's item; the first remaining item becomes current.
    void DeleteGroup(TBugGroup& group);

    void ReleaseBugButton();
    void ReleaseObstacleButtons();

    // The tool whose button is down.
    TArenaTool ActiveTool() const;
    // The group of the combo box's current item, if any.
    TBugGroup* ChosenGroup() const;
    // The bug brush's chance per grid cell, in per cent.
    int Density() const;

signals:
    // The window was closed with its close box.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QToolButton* makeToolButton(const QString& objectName, const QString& hint, const QIcon& icon);
    // At most one button is down, and all may be up.
    void releaseAllBut(QToolButton* button);
    void stopAndRewind();
    void bugButtonClicked();
    void obstacleButtonClicked(QToolButton* button);
    int indexOf(const TBugGroup& group) const;

    TSimulation& simulation_;
    TFrameTimer& frames_;
    QToolButton* bugButton_;
    QToolButton* lineButton_;
    QToolButton* ellipseButton_;
    QComboBox* groupComboBox_;
    TFloatEdit* densityEdit_;
};

} // namespace kova
