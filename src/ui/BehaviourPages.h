#pragma once

#include "world/Bug.h"

#include <QGroupBox>

#include <cstdint>
#include <memory>
#include <vector>

class QButtonGroup;
class QLabel;
class QMenu;
class QRadioButton;
class QTabWidget;

namespace kova {

class TObjectTree;
class TObstacle;
class TSteeringBehaviour;

// One page of the behaviour area, bound to one working behaviour. Its
// controls are direct children named after the lookup prefixes
// (PrioritySpinEdit, WeightSpinEdit, SensorRangeEdit, ...), each name unique
// within the window: a name already taken gets a counter, WeightSpinEdit1,
// WeightSpinEdit2, ...
class TBehaviourPage : public QWidget {
    Q_OBJECT
public:
    TBehaviourPage(TSteeringBehaviour& behaviour, QWidget* parent);

    TSteeringBehaviour& Behaviour() const { return *behaviour_; }

private:
    TSteeringBehaviour* behaviour_;
};

// Among the page's direct children in child order, the last whose name starts
// with the prefix (case-sensitive); null when none does or the child is not a T.
QObject* FindControl(const QString& prefix, const QWidget* page);
template <typename T> T* FindControl(const QString& prefix, const QWidget* page) {
    return qobject_cast<T*>(FindControl(prefix, page));
}

// The steering behaviour frame of the property editor: the combination
// method's radio buttons and the page control with the "Default Steering"
// page and one page per working behaviour. It owns the working copies; the
// object's own behaviours are touched only by the editor's write-back.
class TBehaviourArea : public QGroupBox {
    Q_OBJECT
public:
    explicit TBehaviourArea(QWidget* parent = nullptr);
    ~TBehaviourArea() override;

    // The tree whose nodes the target pages show (the object browser's).
    void SetBrowserTree(const TObjectTree* tree) { browserTree_ = tree; }
    // The "Add Obstacle" submenu: one item per obstacle, in order.
    void RebuildObstacleMenu(const std::vector<std::unique_ptr<TObstacle>>& obstacles);

    // Every page goes; the working behaviours become copies of the source's,
    // each with its page, in order.
    void LoadBehaviours(const TBehaviourList& source);
    const TBehaviourList& WorkingBehaviours() const { return working_; }

    QTabWidget& PageControl() const { return *pageControl_; }
    QMenu* SBPopupMenu() const { return sbPopupMenu_; }
    QMenu* ObstaclePopupMenu() const { return obstaclePopupMenu_; }

    // Without a behaviour a new one of the kind with its defaults joins the
    // working behaviours. The page is appended, made active and loaded.
    QWidget* AddBehaviourPage(std::uint8_t kind, TSteeringBehaviour* behaviour = nullptr);
    // Removes the page and its working behaviour; the "Default Steering" page
    // stays.
    void DeleteBehaviourPage(int index);
    void ClearPages();

    std::uint8_t Combination() const { return combination_; }
    // Selects the method's radio button and applies it.
    void SetCombination(std::uint8_t combination);
    // Weight controls enabled for weight factors and priorized dithering,
    // priority controls for priority and priorized dithering; every caption
    // follows.
    void ApplyCombination(std::uint8_t combination);
    // "Seek", "3 - Seek", "2 - Seek" or "2:3 - Seek" by the combination.
    void UpdatePageCaption(QWidget* page);
    // Point or bug target: enables the controls of the chosen one.
    void UpdateTargetControls(QWidget* page);
    // The bug chosen in the page's tree becomes the behaviour's target.
    void UpdateBugTarget(QWidget* page);
    void LoadPage(QWidget* page);
    void WritePage(QWidget* page);
    // WritePage for every behaviour page.
    void WritePages();
    // Switches the frame's controls and its context menu on or off.
    void EnableBehaviours(bool on);
    // Switchable, the frame's title is a check box that runs EnableBehaviours.
    void SetSwitchable(bool switchable);

signals:
    // A text the user has to read ("Obstacle already in use!").
    void message(const QString& text);

private:
    void buildDefaultPage();
    void buildMenus();
    void connectPage(QWidget* page);
    void applyEnabling(QWidget* page, std::uint8_t combination);
    void addObstacle(TObstacle* obstacle);
    // The page while it is still one of the page control's pages.
    bool isLive(QWidget* page) const;
    QString uniqueName(const QString& base) const;

    const TObjectTree* browserTree_ = nullptr;
    TBehaviourList working_;
    std::uint8_t combination_ = 0;
    // The enabling that new pages take over.
    std::uint8_t appliedCombination_ = 0;

    QLabel* combineLabel_;
    QButtonGroup* combinationButtons_;
    QRadioButton* ditheringButton_;
    QTabWidget* pageControl_;
    QWidget* defaultPage_;
    // Controls that exist but stay hidden and disabled.
    std::vector<QWidget*> unused_;
    QMenu* sbPopupMenu_;
    QMenu* obstaclePopupMenu_;
    QMenu* addObstacleMenu_;
};

} // namespace kova
