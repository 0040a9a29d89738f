// What OK writes into the edited object, mode by mode. The order of the
// steps matters: the orientation re-aims the velocity at the bug's current
// speed before the new current speed rescales it, and the behaviours are
// sorted only after the copies have replaced the object's list.
#include "ui/PropertyForm.h"

#include "simulation/Simulation.h"
#include "steering/SteeringBehaviour.h"
#include "ui/BehaviourPages.h"
#include "ui/ObjectListBox.h"
#include "widgets/BugPropertyEdit.h"
#include "widgets/ColorButton.h"
#include "widgets/FloatEdit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>

#include <cmath>

namespace kova {

namespace {

const char* const kConfirmTitle = "Confirm";
const char* const kApplyToMembers = "Apply changes to Bugs in Group?";

std::string text(const QLineEdit& edit) {
    return edit.text().toStdString();
}

std::int32_t whole(const TFloatEdit& edit) {
    return static_cast<std::int32_t>(std::trunc(edit.Value()));
}

} // namespace

void TPropertyForm::accept() {
    applyToMembers_ = false;
    if (mode_ == TMode::Group && !group_->Members.empty())
        applyToMembers_ =
            QMessageBox::question(this, kConfirmTitle, kApplyToMembers,
                                  QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    switch (mode_) {
    case TMode::Bug:
        writeBug(*bug_);
        break;
    case TMode::Group:
        writeGroup(*group_);
        break;
    case TMode::Trigger:
        writeTrigger(*trigger_);
        break;
    }
    QDialog::accept();
}

void TPropertyForm::writeBug(TBug& bug) {
    bug.SetName(text(*bugNameEdit_));
    bug.Position[0] = xPositionEdit_->Value();
    bug.Position[1] = yPositionEdit_->Value();
    bug.SetOrientation(orientationEdit_->Value());
    bug.SetMaxSpeed(maxSpeedEdit_->Value());
    bug.SetMinSpeed(minSpeedEdit_->Value());
    bug.SetCurrentSpeed(currentSpeedEdit_->Value());
    bug.SetMaxForce(maxForceEdit_->Value());
    bug.SetMass(massEdit_->Value());
    const Extended diameter = diameterEdit_->Value();
    bug.Shape.Size[0] = diameter;
    bug.Shape.Size[1] = diameter;

    behaviours_->WritePages();
    // A bug that steers with a trigger's list gets the copies in its own
    // list: the trigger's list stays as the trigger defines it.
    bug.UseOwnBehaviours();
    TSimulation::CopyBehaviours(behaviours_->WorkingBehaviours(), *bug.Behaviours);
    bug.Triggers = ObjectsOf<TTrigger>(*triggerListBox_);
    const std::uint8_t combination = behaviours_->Combination();
    if (combination == cmPriority)
        bug.SortBehavioursByPriority();
    bug.SetCombinationMethod(combination);
    bug.RefreshElement();
}

void TPropertyForm::writeTemplate(TDefaultBug& tmpl) {
    tmpl.SetName(text(*memberNameEdit_));
    tmpl.SetCurrentSpeedVariantValue(bugPropertyEdit_->CurrentSpeedVariantValue());
    tmpl.SetDiameterVariantValue(bugPropertyEdit_->DiameterVariantValue());
    tmpl.SetMassVariantValue(bugPropertyEdit_->MassVariantValue());
    tmpl.SetMaxForceVariantValue(bugPropertyEdit_->MaxForceVariantValue());
    tmpl.SetMaxSpeedVariantValue(bugPropertyEdit_->MaxSpeedVariantValue());
    tmpl.SetMinSpeedVariantValue(bugPropertyEdit_->MinSpeedVariantValue());
    tmpl.SetOrientationVariantValue(bugPropertyEdit_->OrientationVariantValue());
    tmpl.Triggers = ObjectsOf<TTrigger>(*triggerListBox_);
}

void TPropertyForm::writeTemplateBehaviours(TDefaultBug& tmpl) {
    behaviours_->WritePages();
    const std::uint8_t combination = behaviours_->Combination();
    tmpl.SetCombinationMethod(combination);
    // Into the list object itself: bugs that borrowed a trigger's list see
    // the new behaviours at once.
    TSimulation::CopyBehaviours(behaviours_->WorkingBehaviours(), *tmpl.Behaviours);
    if (combination == cmPriority)
        tmpl.SortBehavioursByPriority();
}

void TPropertyForm::writeTrigger(TTrigger& trigger) {
    trigger.SetName(text(*triggerNameEdit_));
    trigger.SetSecond(whole(*secondEdit_));
    trigger.SetFrame(whole(*frameEdit_));
    writeTemplate(trigger.Template);
    writeTemplateBehaviours(trigger.Template);
    trigger.SetChangeBehaviours(behaviours_->isChecked());
}

void TPropertyForm::writeGroup(TBugGroup& group) {
    group.SetName(text(*groupNameEdit_));
    group.SetColor(colorButton_->Color());
    writeTemplate(group.Template);
    writeTemplateBehaviours(group.Template);
    if (applyToMembers_)
        simulation_.ApplyTemplateToMembers(group);
    // The members show their colour and size at once rather than at the next
    // rewind.
    for (const auto& member : group.Members)
        member->RefreshElement();
}

} // namespace kova
