#include "widgets/RandomFloatEdit.h"

#include "widgets/FloatEdit.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kova {

namespace {

QString SignCaption(VarianceType mode) {
    switch (mode) {
    case vtminus:
        return QStringLiteral("-");
    case vtplusminus:
        return QStringLiteral("\u00B1");
    case vtplus:
    default:
        return QStringLiteral("+");
    }
}

QToolButton* MakeArrowButton(QWidget* parent, Qt::ArrowType arrow, const QString& name) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFixedSize(15, 10);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

TRandomFloatEdit::TRandomFloatEdit(QWidget* parent) : QWidget(parent) {
    applyBox = new QCheckBox(this);
    applyBox->setObjectName(QStringLiteral("ApplyCheckBox"));
    applyBox->setChecked(true);

    baseEdit = new TFloatEdit(this);
    baseEdit->setObjectName(QStringLiteral("BaseValueEdit"));
    baseEdit->setMinimumWidth(56);

    signButton = new QToolButton(this);
    signButton->setObjectName(QStringLiteral("SignButton"));
    signButton->setText(SignCaption(signMode));
    signButton->setFixedWidth(20);

    differenceEdit = new QLineEdit(this);
    differenceEdit->setObjectName(QStringLiteral("DifferenceEdit"));
    differenceEdit->setReadOnly(true);
    differenceEdit->setAlignment(Qt::AlignRight);
    differenceEdit->setFixedWidth(40);
    differenceEdit->setText(QStringLiteral("0%"));

    upButton = MakeArrowButton(this, Qt::UpArrow, QStringLiteral("DifferenceUpButton"));
    downButton = MakeArrowButton(this, Qt::DownArrow, QStringLiteral("DifferenceDownButton"));

    auto* arrows = new QVBoxLayout;
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    arrows->addWidget(upButton);
    arrows->addWidget(downButton);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    row->addWidget(applyBox);
    row->addWidget(baseEdit, 1);
    row->addWidget(signButton);
    row->addWidget(differenceEdit);
    row->addLayout(arrows);

    connect(applyBox, &QCheckBox::toggled, this, &TRandomFloatEdit::UpdatePartsEnabled);
    connect(signButton, &QToolButton::clicked, this, &TRandomFloatEdit::CycleSign);
    connect(upButton, &QToolButton::clicked, this, [this] { SetDiffValue(difference + 1); });
    connect(downButton, &QToolButton::clicked, this, [this] { SetDiffValue(difference - 1); });
}

bool TRandomFloatEdit::CheckboxVisible() const {
    return !applyBox->isHidden();
}

void TRandomFloatEdit::SetCheckboxVisible(bool visible) {
    applyBox->setVisible(visible);
}

bool TRandomFloatEdit::Checked() const {
    return applyBox->isChecked();
}

void TRandomFloatEdit::SetChecked(bool checked) {
    applyBox->setChecked(checked);
}

void TRandomFloatEdit::UpdatePartsEnabled() {
    const bool enabled = applyBox->isChecked();
    for (QWidget* part : {static_cast<QWidget*>(baseEdit), static_cast<QWidget*>(signButton),
                          static_cast<QWidget*>(differenceEdit), static_cast<QWidget*>(upButton),
                          static_cast<QWidget*>(downButton)})
        part->setEnabled(enabled);
}

Extended TRandomFloatEdit::ValueBase() const {
    return baseEdit->Value();
}

void TRandomFloatEdit::SetValueBase(Extended value) {
    baseEdit->SetValue(value);
}

void TRandomFloatEdit::SetDiffValue(int value) {
    difference = std::clamp(value, 0, kMaxDifference);
    differenceEdit->setText(QString::number(difference) + QChar('%'));
}

void TRandomFloatEdit::SetCurrentDifference(VarianceType mode) {
    signMode = mode;
    signButton->setText(SignCaption(mode));
}

void TRandomFloatEdit::CycleSign() {
    switch (signMode) {
    case vtplus:
        SetCurrentDifference(vtminus);
        break;
    case vtminus:
        SetCurrentDifference(vtplusminus);
        break;
    case vtplusminus:
    default:
        SetCurrentDifference(vtplus);
        break;
    }
}

int TRandomFloatEdit::Digits() const {
    return baseEdit->Digits();
}

void TRandomFloatEdit::SetDigits(int value) {
    baseEdit->SetDigits(value);
}

Extended TRandomFloatEdit::Min() const {
    return baseEdit->Min();
}

void TRandomFloatEdit::SetMin(Extended value) {
    baseEdit->SetMin(value);
}

Extended TRandomFloatEdit::Max() const {
    return baseEdit->Max();
}

void TRandomFloatEdit::SetMax(Extended value) {
    baseEdit->SetMax(value);
}

TVariantExtended TRandomFloatEdit::VariantValue() const {
    TVariantExtended value;
    value.Apply = Checked();
    value.BaseValue = ValueBase();
    value.Difference = static_cast<std::uint8_t>(difference);
    value.SignMode = signMode;
    return value;
}

void TRandomFloatEdit::SetVariantValue(const TVariantExtended& value) {
    SetChecked(value.Apply);
    SetValueBase(value.BaseValue);
    SetDiffValue(value.Difference);
    SetCurrentDifference(value.SignMode);
}

} // namespace kova
