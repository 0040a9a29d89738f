#include "widgets/BugPropertyEdit.h"

#include "widgets/RandomFloatEdit.h"

#include <QGridLayout>
#include <QLabel>

namespace kova {

namespace {

constexpr Extended kLargeMax = 99999999.9L;
constexpr Extended kOrientationMax = 359;

TRandomFloatEdit* MakeEdit(QWidget* parent, const QString& name, Extended maximum) {
    auto* edit = new TRandomFloatEdit(parent);
    edit->setObjectName(name);
    edit->SetMin(0);
    edit->SetMax(maximum);
    return edit;
}

} // namespace

TBugPropertyEdit::TBugPropertyEdit(QWidget* parent) : QWidget(parent) {
    // Created in tab order: the focus chain follows the order of creation.
    maxSpeedEdit = MakeEdit(this, QStringLiteral("MaxSpeedEdit"), kLargeMax);
    minSpeedEdit = MakeEdit(this, QStringLiteral("MinSpeedEdit"), kLargeMax);
    currentSpeedEdit = MakeEdit(this, QStringLiteral("CurrentSpeedEdit"), kLargeMax);
    massEdit = MakeEdit(this, QStringLiteral("MassEdit"), kLargeMax);
    maxForceEdit = MakeEdit(this, QStringLiteral("MaxForceEdit"), kLargeMax);
    diameterEdit = MakeEdit(this, QStringLiteral("DiameterEdit"), kLargeMax);
    orientationEdit = MakeEdit(this, QStringLiteral("OrientationEdit"), kOrientationMax);

    struct Cell {
        const char16_t* label;
        TRandomFloatEdit* edit;
        int row;
        int column;
    };
    const Cell cells[] = {
        {u"Diameter (m)", diameterEdit, 0, 0},
        {u"Mass (kg)", massEdit, 0, 1},
        {u"Max. Speed (m/s)", maxSpeedEdit, 0, 2},
        {u"Orientation (\u00B0)", orientationEdit, 1, 0},
        {u"Max. Force (N)", maxForceEdit, 1, 1},
        {u"Min. Speed (m/s)", minSpeedEdit, 1, 2},
        {u"Current Speed  (m/s)", currentSpeedEdit, 2, 2},
    };

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    for (const Cell& cell : cells) {
        auto* label = new QLabel(QString::fromUtf16(cell.label), this);
        label->setBuddy(cell.edit);
        grid->addWidget(label, cell.row, cell.column * 2);
        grid->addWidget(cell.edit, cell.row, cell.column * 2 + 1);
    }
}

TVariantExtended TBugPropertyEdit::DiameterVariantValue() const {
    return diameterEdit->VariantValue();
}

void TBugPropertyEdit::SetDiameterVariantValue(const TVariantExtended& value) {
    diameterEdit->SetVariantValue(value);
}

TVariantExtended TBugPropertyEdit::MaxForceVariantValue() const {
    return maxForceEdit->VariantValue();
}

void TBugPropertyEdit::SetMaxForceVariantValue(const TVariantExtended& value) {
    maxForceEdit->SetVariantValue(value);
}

TVariantExtended TBugPropertyEdit::MinSpeedVariantValue() const {
    return minSpeedEdit->VariantValue();
}

void TBugPropertyEdit::SetMinSpeedVariantValue(const TVariantExtended& value) {
    minSpeedEdit->SetVariantValue(value);
}

TVariantExtended TBugPropertyEdit::OrientationVariantValue() const {
    return orientationEdit->VariantValue();
}

void TBugPropertyEdit::SetOrientationVariantValue(const TVariantExtended& value) {
    orientationEdit->SetVariantValue(value);
}

TVariantExtended TBugPropertyEdit::CurrentSpeedVariantValue() const {
    return currentSpeedEdit->VariantValue();
}

void TBugPropertyEdit::SetCurrentSpeedVariantValue(const TVariantExtended& value) {
    currentSpeedEdit->SetVariantValue(value);
}

TVariantExtended TBugPropertyEdit::MaxSpeedVariantValue() const {
    return maxSpeedEdit->VariantValue();
}

void TBugPropertyEdit::SetMaxSpeedVariantValue(const TVariantExtended& value) {
    maxSpeedEdit->SetVariantValue(value);
}

TVariantExtended TBugPropertyEdit::MassVariantValue() const {
    return massEdit->VariantValue();
}

void TBugPropertyEdit::SetMassVariantValue(const TVariantExtended& value) {
    massEdit->SetVariantValue(value);
}

bool TBugPropertyEdit::CheckboxesVisible() const {
    return currentSpeedEdit->CheckboxVisible();
}

void TBugPropertyEdit::SetCheckboxesVisible(bool visible) {
    for (TRandomFloatEdit* edit : {maxSpeedEdit, minSpeedEdit, currentSpeedEdit, massEdit,
                                   maxForceEdit, diameterEdit, orientationEdit})
        edit->SetCheckboxVisible(visible);
}

} // namespace kova
