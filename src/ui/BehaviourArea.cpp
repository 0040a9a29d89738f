#include "simulation/Simulation.h"
#include "steering/SteeringBehaviour.h"
#include "ui/BehaviourPageBuilder.h"
#include "ui/BehaviourPages.h"
#include "ui/ObjectListBox.h"
#include "widgets/ObjectTree.h"
#include "widgets/SpinEdit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kova {

namespace {

const char* const kFrameCaption = " Steering Behaviours ";
const char* const kSwitchCaption = "Steering Behaviours ";
const char* const kCombineLabel = "Combine Steering Behaviours using:";
const char* const kCombinationCaptions[] = {"Linear Combination", "Weight Factors", "Priority",
                                            "Priorized Dithering"};
const char* const kCombinationNames[] = {"LinearCombinationRadioButton", "WeightFactorsRadioButton",
                                         "PriorityRadioButton", "PriorizedDitheringRadioButton"};
const char* const kDefaultPage = "Default Steering";
const char* const kIncreaseVelocity = "Increase Velocity till MaxSpeed";
const char* const kMaintainVelocity = "Maintain Velocity";
const char* const kDecreaseVelocity = "Decrease Velocity till MinSpeed";
const char* const kAddBehaviourMenu = "Add Steering Behaviour";
const char* const kDeleteBehaviour = "Delete Current Steering Behaviour";
const char* const kAddObstacleMenu = "Add Obstacle";
const char* const kDeleteObstacle = "Delete Obstacle";
const char* const kObstacleInUse = "Obstacle already in use!";

// The "Add Steering Behaviour" items in menu order; a kind of -1 is an entry
// without a behaviour behind it, shown disabled; an empty caption a separator.
struct TMenuEntry {
    const char* Caption;
    int Kind;
};
const TMenuEntry kAddEntries[] = {
    {"Seek", bkSeek},
    {"Flee", bkFlee},
    {"Moth-Seek", bkMothSeek},
    {"Moth-Flee", bkMothFlee},
    {"Arrival", bkArrival},
    {"Wander", -1},
    {"", -1},
    {"Alignment", bkAlignment},
    {"Cohesion", bkCohesion},
    {"Separation", bkSeparation},
    {"Collision Avoidance", -1},
    {"", -1},
    {"Obstacle Avoidance", bkObstacleAvoidance},
};

bool usesWeight(std::uint8_t combination) {
    return combination == cmWeightFactors || combination == cmPriorizedDithering;
}

bool usesPriority(std::uint8_t combination) {
    return combination == cmPriority || combination == cmPriorizedDithering;
}

} // namespace

TBehaviourArea::TBehaviourArea(QWidget* parent) : QGroupBox(kFrameCaption, parent) {
    setObjectName("SteeringFrame");
    combineLabel_ = new QLabel(kCombineLabel, this);
    combinationButtons_ = new QButtonGroup(this);
    auto* choices = new QHBoxLayout;
    choices->addWidget(combineLabel_);
    for (int method = 0; method < 4; ++method) {
        auto* button = new QRadioButton(kCombinationCaptions[method], this);
        button->setObjectName(kCombinationNames[method]);
        combinationButtons_->addButton(button, method);
        choices->addWidget(button);
    }
    choices->addStretch(1);
    combinationButtons_->button(cmLinearCombination)->setChecked(true);
    ditheringButton_ = qobject_cast<QRadioButton*>(combinationButtons_->button(3));
    ditheringButton_->setVisible(false);
    ditheringButton_->setEnabled(false);
    unused_.push_back(ditheringButton_);
    connect(combinationButtons_, &QButtonGroup::idToggled, this, [this](int method, bool on) {
        if (!on)
            return;
        combination_ = static_cast<std::uint8_t>(method);
        ApplyCombination(combination_);
    });

    pageControl_ = new QTabWidget(this);
    pageControl_->setObjectName("SBPageControl");
    buildDefaultPage();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addWidget(pageControl_, 1);

    buildMenus();
    EnableBehaviours(true);
    connect(this, &QGroupBox::toggled, this, &TBehaviourArea::EnableBehaviours);
}

TBehaviourArea::~TBehaviourArea() {
    // The pages refer to the working behaviours; they go first.
    while (pageControl_->count() > 1)
        delete pageControl_->widget(1);
}

void TBehaviourArea::buildDefaultPage() {
    defaultPage_ = new QWidget;
    defaultPage_->setObjectName("DefaultSteeringPage");
    auto* increase = new QRadioButton(kIncreaseVelocity, defaultPage_);
    increase->setObjectName("IncreaseVelocityRadioButton");
    increase->setChecked(true);
    auto* layout = new QVBoxLayout(defaultPage_);
    layout->addWidget(increase);
    for (const char* caption : {kMaintainVelocity, kDecreaseVelocity}) {
        auto* other = new QRadioButton(caption, defaultPage_);
        other->setVisible(false);
        other->setEnabled(false);
        unused_.push_back(other);
        layout->addWidget(other);
    }
    layout->addStretch(1);
    pageControl_->addTab(defaultPage_, kDefaultPage);
}

void TBehaviourArea::buildMenus() {
    sbPopupMenu_ = new QMenu(this);
    sbPopupMenu_->setObjectName("SBPopupMenu");
    QMenu* add = sbPopupMenu_->addMenu(kAddBehaviourMenu);
    add->setObjectName("AddBehaviourMenu");
    for (const TMenuEntry& entry : kAddEntries) {
        if (*entry.Caption == '\0') {
            add->addSeparator();
            continue;
        }
        QAction* item = add->addAction(entry.Caption);
        if (entry.Kind < 0) {
            item->setEnabled(false);
            continue;
        }
        const auto kind = static_cast<std::uint8_t>(entry.Kind);
        connect(item, &QAction::triggered, this, [this, kind] { AddBehaviourPage(kind); });
    }
    QAction* remove = sbPopupMenu_->addAction(kDeleteBehaviour);
    connect(remove, &QAction::triggered, this,
            [this] { DeleteBehaviourPage(pageControl_->currentIndex()); });

    obstaclePopupMenu_ = new QMenu(this);
    obstaclePopupMenu_->setObjectName("ObstaclePopupMenu");
    addObstacleMenu_ = obstaclePopupMenu_->addMenu(kAddObstacleMenu);
    addObstacleMenu_->setObjectName("AddObstacleMenu");
    QAction* removeObstacle = obstaclePopupMenu_->addAction(kDeleteObstacle);
    connect(removeObstacle, &QAction::triggered, this, [this] {
        QWidget* page = pageControl_->currentWidget();
        if (auto* list = FindControl<TObjectListBox>("ObstacleListBox", page))
            list->DeleteSelected();
    });

    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { sbPopupMenu_->exec(mapToGlobal(at)); });
}

void TBehaviourArea::RebuildObstacleMenu(const std::vector<std::unique_ptr<TObstacle>>& obstacles) {
    addObstacleMenu_->clear();
    for (const auto& obstacle : obstacles) {
        TObstacle* chosen = obstacle.get();
        QAction* item = addObstacleMenu_->addAction(QString::fromStdString(chosen->Name));
        connect(item, &QAction::triggered, this, [this, chosen] { addObstacle(chosen); });
    }
}

void TBehaviourArea::addObstacle(TObstacle* obstacle) {
    auto* list = FindControl<TObjectListBox>("ObstacleListBox", pageControl_->currentWidget());
    if (list == nullptr)
        return;
    if (list->Contains(obstacle)) {
        emit message(kObstacleInUse);
        return;
    }
    list->AddItem(QString::fromStdString(obstacle->Name), obstacle);
}

void TBehaviourArea::LoadBehaviours(const TBehaviourList& source) {
    ClearPages();
    TSimulation::CopyBehaviours(source, working_);
    for (const auto& copy : working_)
        AddBehaviourPage(copy->Kind, copy.get());
}

QWidget* TBehaviourArea::AddBehaviourPage(std::uint8_t kind, TSteeringBehaviour* behaviour) {
    if (behaviour == nullptr)
        behaviour = working_.emplace_back(std::make_unique<TSteeringBehaviour>(kind)).get();
    TBehaviourPage* page = BuildBehaviourPage(
        *behaviour, pageControl_, [this](const QString& base) { return uniqueName(base); },
        obstaclePopupMenu_);
    pageControl_->addTab(page, QString::fromStdString(behaviour->Name));
    applyEnabling(page, appliedCombination_);
    connectPage(page);
    pageControl_->setCurrentWidget(page);
    UpdateTargetControls(page);
    LoadPage(page);
    UpdatePageCaption(page);
    return page;
}

void TBehaviourArea::connectPage(QWidget* page) {
    auto caption = [this, page] {
        if (isLive(page))
            UpdatePageCaption(page);
    };
    for (const char* prefix : {"WeightSpin", "PrioritySpin"})
        if (auto* spin = FindControl<TSpinEdit>(prefix, page))
            connect(spin, &QSpinBox::valueChanged, page, caption);
    for (const char* prefix : {"TargetRadio", "BugRadio"})
        if (auto* choice = FindControl<QRadioButton>(prefix, page))
            connect(choice, &QRadioButton::toggled, page, [this, page](bool on) {
                if (on && isLive(page))
                    UpdateTargetControls(page);
            });
    if (auto* tree = FindControl<TObjectTree>("BugTargetTree", page))
        connect(tree, &TObjectTree::selectedNodeChanged, page, [this, page] {
            if (isLive(page))
                UpdateBugTarget(page);
        });
    const std::pair<const char*, const char*> switched[] = {{"SensorRangeCheck", "SensorRangeEdit"},
                                                            {"AngleCheck", "AngleEdit"}};
    for (const auto& [checkPrefix, editPrefix] : switched) {
        auto* check = FindControl<QCheckBox>(checkPrefix, page);
        auto* edit = FindControl<QWidget>(editPrefix, page);
        if (check != nullptr && edit != nullptr)
            connect(check, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    }
}

bool TBehaviourArea::isLive(QWidget* page) const {
    return pageControl_->indexOf(page) > 0;
}

void TBehaviourArea::DeleteBehaviourPage(int index) {
    if (index < 1 || index >= pageControl_->count())
        return;
    QWidget* page = pageControl_->widget(index);
    pageControl_->removeTab(index);
    const auto* bound = qobject_cast<TBehaviourPage*>(page);
    const TSteeringBehaviour* behaviour = bound != nullptr ? &bound->Behaviour() : nullptr;
    delete page;
    std::erase_if(working_, [behaviour](const auto& entry) { return entry.get() == behaviour; });
}

void TBehaviourArea::ClearPages() {
    while (pageControl_->count() > 1)
        DeleteBehaviourPage(1);
}

void TBehaviourArea::SetCombination(std::uint8_t combination) {
    combination_ = combination;
    if (QAbstractButton* button = combinationButtons_->button(combination)) {
        const QSignalBlocker quiet(combinationButtons_);
        button->setChecked(true);
    } else {
        // A method without a button (read from a file): no button is chosen.
        combinationButtons_->setExclusive(false);
        for (QAbstractButton* other : combinationButtons_->buttons())
            other->setChecked(false);
        combinationButtons_->setExclusive(true);
    }
    ApplyCombination(combination);
}

void TBehaviourArea::ApplyCombination(std::uint8_t combination) {
    appliedCombination_ = combination;
    for (int index = 1; index < pageControl_->count(); ++index) {
        QWidget* page = pageControl_->widget(index);
        applyEnabling(page, combination);
        UpdatePageCaption(page);
    }
}

void TBehaviourArea::applyEnabling(QWidget* page, std::uint8_t combination) {
    for (const char* prefix : {"WeightLa", "WeightSpin"})
        if (auto* control = FindControl<QWidget>(prefix, page))
            control->setEnabled(usesWeight(combination));
    for (const char* prefix : {"PriorityLa", "PrioritySpin"})
        if (auto* control = FindControl<QWidget>(prefix, page))
            control->setEnabled(usesPriority(combination));
}

void TBehaviourArea::EnableBehaviours(bool on) {
    auto isUnused = [this](const QWidget* control) {
        return std::find(unused_.begin(), unused_.end(), control) != unused_.end();
    };
    for (QObject* child : children())
        if (auto* control = qobject_cast<QWidget*>(child); control != nullptr && !isUnused(control))
            if (!control->isWindow())
                control->setEnabled(on);
    pageControl_->setCurrentIndex(0);
    for (QObject* child : defaultPage_->children())
        if (auto* control = qobject_cast<QWidget*>(child); control != nullptr && !isUnused(control))
            control->setEnabled(on);
    setContextMenuPolicy(on ? Qt::CustomContextMenu : Qt::PreventContextMenu);
}

void TBehaviourArea::SetSwitchable(bool switchable) {
    setTitle(switchable ? kSwitchCaption : kFrameCaption);
    setCheckable(switchable);
}

QString TBehaviourArea::uniqueName(const QString& base) const {
    const QWidget* scope = window();
    if (scope->findChild<QObject*>(base) == nullptr)
        return base;
    for (int counter = 1;; ++counter) {
        const QString name = QString("%1%2").arg(base).arg(counter);
        if (scope->findChild<QObject*>(name) == nullptr)
            return name;
    }
}

} // namespace kova
