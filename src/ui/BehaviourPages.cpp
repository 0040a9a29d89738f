#include "ui/BehaviourPages.h"

#include "steering/SteeringBehaviour.h"
#include "ui/BehaviourPageBuilder.h"
#include "ui/ObjectListBox.h"
#include "widgets/FloatEdit.h"
#include "widgets/ObjectTree.h"
#include "widgets/SpinEdit.h"
#include "world/Obstacle.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>

#include <algorithm>

namespace kova {

namespace {

const char* const kChooseBug = "please choose a bug!";

bool isTargetKind(std::uint8_t kind) {
    return kind <= bkArrival;
}

bool isGroupKind(std::uint8_t kind) {
    return kind >= bkCohesion && kind <= bkSeparation;
}

void enable(QWidget* control, bool on) {
    if (control != nullptr)
        control->setEnabled(on);
}

void setValue(TFloatEdit* edit, Extended value) {
    if (edit != nullptr)
        edit->SetValue(value);
}

Extended valueOf(const TFloatEdit* edit, Extended otherwise) {
    return edit != nullptr ? edit->Value() : otherwise;
}

bool checkedOr(const QAbstractButton* button, bool otherwise) {
    return button != nullptr ? button->isChecked() : otherwise;
}

// A check box and the edit it switches on and off.
void loadSwitchedEdit(QWidget* page, const QString& checkPrefix, const QString& editPrefix, bool on,
                      Extended value) {
    auto* check = FindControl<QCheckBox>(checkPrefix, page);
    auto* edit = FindControl<TFloatEdit>(editPrefix, page);
    if (check != nullptr)
        check->setChecked(on);
    setValue(edit, value);
    enable(edit, on);
}

int clampedSpinValue(const TSpinEdit& spin, int value) {
    return std::clamp(value, spin.minimum(), spin.maximum());
}

} // namespace

TBehaviourPage::TBehaviourPage(TSteeringBehaviour& behaviour, QWidget* parent)
    : QWidget(parent), behaviour_(&behaviour) {}

QObject* FindControl(const QString& prefix, const QWidget* page) {
    if (page == nullptr)
        return nullptr;
    QObject* found = nullptr;
    for (QObject* child : page->children())
        if (child->objectName().startsWith(prefix))
            found = child;
    return found;
}

namespace {

TSteeringBehaviour* behaviourOf(const QWidget* page) {
    const auto* bound = qobject_cast<const TBehaviourPage*>(page);
    return bound != nullptr ? &bound->Behaviour() : nullptr;
}

} // namespace

void TBehaviourArea::UpdatePageCaption(QWidget* page) {
    const int index = pageControl_->indexOf(page);
    if (index < 0)
        return;
    const TSteeringBehaviour* behaviour = behaviourOf(page);
    const QString name = behaviour != nullptr ? QString::fromStdString(behaviour->Name) : QString();
    const auto* weightSpin = FindControl<TSpinEdit>("WeightSpin", page);
    const auto* prioritySpin = FindControl<TSpinEdit>("PrioritySpin", page);
    const QString weight = QString::number(weightSpin != nullptr ? weightSpin->value() : 0);
    const QString priority = QString::number(prioritySpin != nullptr ? prioritySpin->value() : 0);
    QString caption;
    switch (combination_) {
    case cmWeightFactors:
        caption = weight + " - " + name;
        break;
    case cmPriority:
        caption = priority + " - " + name;
        break;
    case cmPriorizedDithering:
        caption = priority + ":" + weight + " - " + name;
        break;
    default:
        caption = name;
        break;
    }
    pageControl_->setTabText(index, caption);
}

void TBehaviourArea::UpdateTargetControls(QWidget* page) {
    auto* pointChoice = FindControl<QRadioButton>("TargetRadio", page);
    if (pointChoice == nullptr)
        return;
    const bool point = pointChoice->isChecked();
    enable(FindControl<QWidget>("XTargetFloatEdit", page), point);
    enable(FindControl<QWidget>("YTargetFloatEdit", page), point);
    enable(FindControl<QWidget>("BugTargetLabel", page), !point);
    enable(FindControl<QWidget>("BugTargetTree", page), !point);
    UpdateBugTarget(page);
}

void TBehaviourArea::UpdateBugTarget(QWidget* page) {
    auto* label = FindControl<QLabel>("BugTargetLabel", page);
    auto* tree = FindControl<TObjectTree>("BugTargetTree", page);
    if (label == nullptr || tree == nullptr || tree->model()->rowCount() == 0)
        return;
    const QModelIndexList selected = tree->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const QModelIndex node = selected.first();
    TSteeringBehaviour* behaviour = behaviourOf(page);
    auto* bug = dynamic_cast<TBug*>(TObjectTree::ObjectOf(node));
    if (bug != nullptr) {
        const QString group = node.parent().data().toString();
        label->setText(node.data().toString() + " of " + group);
        if (behaviour != nullptr)
            behaviour->SetTargetBug(bug);
    } else {
        label->setText(kChooseBug);
    }
    if (behaviour != nullptr)
        behaviour->SetTargetIsBug(checkedOr(FindControl<QRadioButton>("BugRadio", page), false) &&
                                  bug != nullptr);
}

void TBehaviourArea::LoadPage(QWidget* page) {
    TSteeringBehaviour* behaviour = behaviourOf(page);
    if (behaviour == nullptr)
        return;
    // A new behaviour's weight of 0 shows as the spin edit's least value, 1.
    if (auto* spin = FindControl<TSpinEdit>("WeightSpin", page))
        spin->setValue(clampedSpinValue(*spin, behaviour->Weight));
    if (auto* spin = FindControl<TSpinEdit>("PrioritySpin", page))
        spin->setValue(clampedSpinValue(*spin, behaviour->Priority));

    const std::uint8_t kind = behaviour->Kind;
    if (isTargetKind(kind)) {
        setValue(FindControl<TFloatEdit>("XTargetFloatEdit", page), behaviour->TargetPoint[0]);
        setValue(FindControl<TFloatEdit>("YTargetFloatEdit", page), behaviour->TargetPoint[1]);
        if (auto* tree = FindControl<TObjectTree>("BugTargetTree", page)) {
            // Choosing the node is not the user's choice of a target.
            const QSignalBlocker quiet(tree);
            if (browserTree_ != nullptr)
                tree->ShowNodesOf(*browserTree_);
            tree->SelectObject(behaviour->TargetBug);
        }
        if (behaviour->TargetIsBug)
            if (auto* bugChoice = FindControl<QRadioButton>("BugRadio", page))
                bugChoice->setChecked(true);
        if (kind == bkArrival)
            setValue(FindControl<TFloatEdit>("StoppingRadius", page), behaviour->StoppingRadius);
    }
    if (isTargetKind(kind) || isGroupKind(kind)) {
        loadSwitchedEdit(page, "AngleCheck", "AngleEdit", behaviour->AngleOn, behaviour->Angle);
        loadSwitchedEdit(page, "SensorRangeCheck", "SensorRangeEdit", behaviour->SensorRangeOn,
                         behaviour->SensorRange);
    }
    if (kind == bkObstacleAvoidance) {
        setValue(FindControl<TFloatEdit>("SensorRangeEdit", page), behaviour->SensorRange);
        if (auto* list = FindControl<TObjectListBox>("ObstacleListBox", page)) {
            list->clear();
            for (TObstacle* obstacle : behaviour->Obstacles)
                list->AddItem(QString::fromStdString(obstacle->Name), obstacle);
        }
    }
}

void TBehaviourArea::WritePage(QWidget* page) {
    TSteeringBehaviour* behaviour = behaviourOf(page);
    if (behaviour == nullptr)
        return;
    if (const auto* spin = FindControl<TSpinEdit>("WeightSpin", page))
        behaviour->SetWeight(static_cast<std::uint16_t>(spin->value()));
    if (const auto* spin = FindControl<TSpinEdit>("PrioritySpin", page))
        behaviour->SetPriority(static_cast<std::uint16_t>(spin->value()));

    // The target bug and the bug choice were written when the user chose them.
    const std::uint8_t kind = behaviour->Kind;
    if (isTargetKind(kind) || isGroupKind(kind)) {
        behaviour->SetSensorRange(
            valueOf(FindControl<TFloatEdit>("SensorRangeEdit", page), behaviour->SensorRange));
        behaviour->SetAngle(valueOf(FindControl<TFloatEdit>("AngleEdit", page), behaviour->Angle));
        behaviour->SetSensorRangeOn(
            checkedOr(FindControl<QCheckBox>("SensorRangeCheck", page), behaviour->SensorRangeOn));
        behaviour->SetAngleOn(
            checkedOr(FindControl<QCheckBox>("AngleCheck", page), behaviour->AngleOn));
    }
    if (isTargetKind(kind)) {
        const Vector point(
            valueOf(FindControl<TFloatEdit>("XTargetFloatEdit", page), behaviour->TargetPoint[0]),
            valueOf(FindControl<TFloatEdit>("YTargetFloatEdit", page), behaviour->TargetPoint[1]));
        behaviour->SetTargetPoint(point);
    }
    if (kind == bkArrival)
        behaviour->SetStoppingRadius(
            valueOf(FindControl<TFloatEdit>("StoppingRadius", page), behaviour->StoppingRadius));
    if (kind == bkObstacleAvoidance) {
        if (const auto* list = FindControl<TObjectListBox>("ObstacleListBox", page))
            behaviour->Obstacles = ObjectsOf<TObstacle>(*list);
        behaviour->SetSensorRange(
            valueOf(FindControl<TFloatEdit>("SensorRangeEdit", page), behaviour->SensorRange));
    }
}

void TBehaviourArea::WritePages() {
    for (int index = 1; index < pageControl_->count(); ++index)
        WritePage(pageControl_->widget(index));
}

} // namespace kova
