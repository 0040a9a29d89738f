#include "ui/BehaviourPageBuilder.h"

#include "steering/SteeringBehaviour.h"
#include "ui/BehaviourPages.h"
#include "ui/ObjectListBox.h"
#include "widgets/FloatEdit.h"
#include "widgets/ObjectTree.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

namespace kova {

namespace {

const char* const kPriorityLabel = "Priority";
const char* const kWeightLabel = "Weight";
const char* const kSensorRange = "Sensor-Range (m)";
const char* const kAngle = "Angle (°)";
const char* const kPointChoice = "Target (x,y)";
const char* const kPointHint = "Target Position on Arena";
const char* const kBugChoice = "Bug";
const char* const kBugHint = "Bug Target";
const char* const kChooseBug = "please choose a bug!";
const char* const kTreeHint = "Click to choose a Target-Bug";
const char* const kStoppingRadius = "Stopping Radius (m)";
const char* const kObstacles = "Obstacles:";

constexpr Extended kMaxValue = 99999999.9L;

enum class TPageKind { Target, Arrival, Neighbours, Obstacles };

TPageKind pageKindOf(std::uint8_t kind) {
    if (kind <= bkMothFlee)
        return TPageKind::Target;
    if (kind == bkArrival)
        return TPageKind::Arrival;
    if (kind == bkObstacleAvoidance)
        return TPageKind::Obstacles;
    // Unknown kinds have no force; the neighbour page shows their common fields.
    return TPageKind::Neighbours;
}

// Creates the page's controls in child order, which FindControl relies on.
class TPageMaker {
public:
    TPageMaker(TBehaviourPage& page, const TControlNamer& nameFor)
        : page_(page), nameFor_(nameFor), grid_(new QGridLayout(&page)) {}

    template <typename T>
    T* add(T* control, const char* name, int row, int column, int columnSpan = 1) {
        control->setParent(&page_);
        control->setObjectName(nameFor_(name));
        grid_->addWidget(control, row, column, 1, columnSpan);
        return control;
    }

    TSpinEdit* spin(const char* name, int minimum, int maximum, int row, int column) {
        auto* edit = add(new TSpinEdit(minimum, maximum, minimum), name, row, column);
        edit->SetTypingEnabled(false);
        // Its natural width, however wide the column grows.
        grid_->setAlignment(edit, Qt::AlignLeft);
        return edit;
    }

    TFloatEdit* number(const char* name, Extended minimum, Extended value, int row, int column) {
        auto* edit = add(new TFloatEdit, name, row, column);
        edit->SetDigits(1);
        edit->SetMax(kMaxValue);
        edit->SetMin(minimum);
        edit->SetValue(value);
        return edit;
    }

    QGridLayout& grid() { return *grid_; }

private:
    TBehaviourPage& page_;
    const TControlNamer& nameFor_;
    QGridLayout* grid_;
};

void addRankControls(TPageMaker& make) {
    make.add(new QLabel(kPriorityLabel), "PriorityLabel", 0, 0);
    make.spin("PrioritySpinEdit", 0, 100, 0, 1);
    make.add(new QLabel(kWeightLabel), "WeightLabel", 0, 2);
    make.spin("WeightSpinEdit", 1, 100, 0, 3);
}

void addRangeAndAngle(TPageMaker& make) {
    make.add(new QCheckBox(kSensorRange), "SensorRangeCheckBox", 1, 0);
    make.number("SensorRangeEdit", 0, 0, 1, 1);
    make.add(new QCheckBox(kAngle), "AngleCheckBox", 1, 2);
    make.number("AngleEdit", 0, 0, 1, 3);
}

void addTargetChoice(TPageMaker& make) {
    auto* point = make.add(new QRadioButton(kPointChoice), "TargetRadioButton", 2, 0);
    point->setToolTip(kPointHint);
    point->setChecked(true);
    make.number("XTargetFloatEdit", 0, 0, 2, 1);
    make.number("YTargetFloatEdit", 0, 0, 2, 2);
    make.add(new QRadioButton(kBugChoice), "BugRadioButton", 3, 0)->setToolTip(kBugHint);
    make.add(new QLabel(kChooseBug), "BugTargetLabel", 3, 1, 3);
    auto* tree = make.add(new TObjectTree, "BugTargetTree", 4, 0, 4);
    tree->setToolTip(kTreeHint);
    tree->setMinimumHeight(90);
}

void addObstacleControls(TPageMaker& make, QMenu* obstacleMenu) {
    make.add(new QLabel(kSensorRange), "SensorRangeLabel", 1, 0);
    make.number("SensorRangeEdit", 0, 0, 1, 1);
    make.add(new QLabel(kObstacles), "ObstaclesLabel", 2, 0);
    auto* list = make.add(new TObjectListBox, "ObstacleListBox", 3, 0, 4);
    list->SetPopupMenu(obstacleMenu);
}

} // namespace

TBehaviourPage* BuildBehaviourPage(TSteeringBehaviour& behaviour, QWidget* parent,
                                   const TControlNamer& nameFor, QMenu* obstacleMenu) {
    auto* page = new TBehaviourPage(behaviour, parent);
    page->setObjectName(nameFor("BehaviourPage"));
    TPageMaker make(*page, nameFor);
    addRankControls(make);
    switch (pageKindOf(behaviour.Kind)) {
    case TPageKind::Target:
        addRangeAndAngle(make);
        addTargetChoice(make);
        break;
    case TPageKind::Arrival:
        addRangeAndAngle(make);
        addTargetChoice(make);
        make.add(new QLabel(kStoppingRadius), "RadiusLabel", 5, 0);
        make.number("StoppingRadiusEdit", 1, 1, 5, 1);
        break;
    case TPageKind::Neighbours:
        addRangeAndAngle(make);
        break;
    case TPageKind::Obstacles:
        addObstacleControls(make, obstacleMenu);
        break;
    }
    make.grid().setRowStretch(make.grid().rowCount(), 1);
    return page;
}

} // namespace kova
