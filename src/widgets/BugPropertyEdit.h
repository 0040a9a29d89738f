#pragma once

#include "foundations/VariantExtended.h"

#include <QWidget>

namespace kova {

class TRandomFloatEdit;

// The seven randomised values of a template bug, each in a labelled
// TRandomFloatEdit (named DiameterEdit, MassEdit, MaxSpeedEdit,
// OrientationEdit, MaxForceEdit, MinSpeedEdit, CurrentSpeedEdit). All have
// minimum 0; the orientation has maximum 359, the others 99999999.9.
class TBugPropertyEdit : public QWidget {
    Q_OBJECT

public:
    explicit TBugPropertyEdit(QWidget* parent = nullptr);

    TVariantExtended DiameterVariantValue() const;
    void SetDiameterVariantValue(const TVariantExtended& value);
    TVariantExtended MaxForceVariantValue() const;
    void SetMaxForceVariantValue(const TVariantExtended& value);
    TVariantExtended MinSpeedVariantValue() const;
    void SetMinSpeedVariantValue(const TVariantExtended& value);
    TVariantExtended OrientationVariantValue() const;
    void SetOrientationVariantValue(const TVariantExtended& value);
    TVariantExtended CurrentSpeedVariantValue() const;
    void SetCurrentSpeedVariantValue(const TVariantExtended& value);
    TVariantExtended MaxSpeedVariantValue() const;
    void SetMaxSpeedVariantValue(const TVariantExtended& value);
    TVariantExtended MassVariantValue() const;
    void SetMassVariantValue(const TVariantExtended& value);

    // Shows or hides the apply check boxes of all seven edits; reading reports
    // the current speed edit's.
    bool CheckboxesVisible() const;
    void SetCheckboxesVisible(bool visible);

private:
    TRandomFloatEdit* maxSpeedEdit;
    TRandomFloatEdit* minSpeedEdit;
    TRandomFloatEdit* currentSpeedEdit;
    TRandomFloatEdit* massEdit;
    TRandomFloatEdit* maxForceEdit;
    TRandomFloatEdit* diameterEdit;
    TRandomFloatEdit* orientationEdit;
};

} // namespace kova
