#pragma once

#include "foundations/Extended.h"
#include "foundations/VariantExtended.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace kova {

class TFloatEdit;

// Edits one randomised value in a row: the apply check box, the base value,
// the sign of the variance ("+", "-", "±") and the variance in per cent with
// an up/down pair. The parts are named ApplyCheckBox, BaseValueEdit,
// SignButton, DifferenceEdit, DifferenceUpButton and DifferenceDownButton.
class TRandomFloatEdit : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxDifference = 100;

    explicit TRandomFloatEdit(QWidget* parent = nullptr);

    bool CheckboxVisible() const;
    void SetCheckboxVisible(bool visible);

    // The apply flag; the other parts are enabled exactly while it is set.
    bool Checked() const;
    void SetChecked(bool checked);

    Extended ValueBase() const;
    void SetValueBase(Extended value);

    // Per cent, 0 to 100; other values are clamped.
    int DiffValue() const { return difference; }
    void SetDiffValue(int value);

    VarianceType CurrentDifference() const { return signMode; }
    void SetCurrentDifference(VarianceType mode);

    // Passed on to the base value field.
    int Digits() const;
    void SetDigits(int value);
    Extended Min() const;
    void SetMin(Extended value);
    Extended Max() const;
    void SetMax(Extended value);

    // A new value made of the parts: Apply, BaseValue, Difference, SignMode.
    TVariantExtended VariantValue() const;
    // Loads the parts from the value; the value stays the caller's.
    void SetVariantValue(const TVariantExtended& value);

private:
    void UpdatePartsEnabled();
    void CycleSign();

    QCheckBox* applyBox;
    TFloatEdit* baseEdit;
    QToolButton* signButton;
    QLineEdit* differenceEdit;
    QToolButton* upButton;
    QToolButton* downButton;
    int difference = 0;
    VarianceType signMode = vtplus;
};

} // namespace kova
