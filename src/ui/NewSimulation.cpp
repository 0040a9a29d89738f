#include "ui/NewSimulation.h"

#include "simulation/Simulation.h"
#include "widgets/ColorButton.h"
#include "widgets/FloatEdit.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace kova {

namespace {

const char* const kCaption = "Simulation Properties";
const char* const kArenaFrame = " Arena ";
const char* const kWidthLabel = "Width (in m)";
const char* const kHeightLabel = "Height (in m)";
const char* const kColorLabel = "Color";
const char* const kSizeLabel = "Size (in Pixel)";
const char* const kSimulationFrame = " Simulation Properties ";
const char* const kPixelsPerMeterLabel = "Pixel per Meter";
const char* const kFpsLabel = "Frames per Second";
const char* const kLeaveLabel = "If bugs leave arena:";
const char* const kWrapChoice = "make them come again on the opposite side";
const char* const kDeactivateChoice = "deactivate them";
const char* const kOkButton = "OK";
const char* const kCancelButton = "Cancel";

TFloatEdit* wholeNumberEdit(const char* objectName, Extended max) {
    auto* edit = new TFloatEdit;
    edit->setObjectName(objectName);
    edit->SetDigits(0);
    edit->SetMin(1);
    edit->SetMax(max);
    edit->SetValue(1);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return edit;
}

// General number format: up to 15 significant digits, no trailing zeros, the
// locale's decimal separator.
QString generalNumber(Extended value) {
    QString text = QString::number(static_cast<double>(value), 'g', 15);
    return text.replace('.', QLocale().decimalPoint());
}

} // namespace

TfrNewSimulation::TfrNewSimulation(QWidget* parent) : QDialog(parent) {
    setObjectName("frNewSimulation");
    setWindowTitle(kCaption);
    setModal(true);

    widthEdit_ = wholeNumberEdit("WidthEdit", 2000);
    heightEdit_ = wholeNumberEdit("HeightEdit", 2000);
    colorButton_ = new TColorButton;
    colorButton_->setObjectName("ColorButton");
    sizeField_ = new QLineEdit;
    sizeField_->setObjectName("SizeEdit");
    sizeField_->setReadOnly(true);
    sizeField_->setEnabled(false);
    pixelsPerMeterEdit_ = wholeNumberEdit("PixelPerMeterEdit", 100);
    pixelsPerMeterEdit_->setEnabled(false);
    fpsEdit_ = wholeNumberEdit("FPSEdit", 100);

    auto* arenaFrame = new QGroupBox(kArenaFrame);
    auto* arena = new QFormLayout(arenaFrame);
    arena->addRow(kWidthLabel, widthEdit_);
    arena->addRow(kHeightLabel, heightEdit_);
    arena->addRow(kColorLabel, colorButton_);
    arena->addRow(kSizeLabel, sizeField_);

    auto* wrapChoice = new QRadioButton(kWrapChoice);
    wrapChoice->setChecked(true);
    auto* deactivateChoice = new QRadioButton(kDeactivateChoice);
    deactivateChoice->setEnabled(false);
    auto* simulationFrame = new QGroupBox(kSimulationFrame);
    auto* settings = new QFormLayout(simulationFrame);
    settings->addRow(kPixelsPerMeterLabel, pixelsPerMeterEdit_);
    settings->addRow(kFpsLabel, fpsEdit_);
    settings->addRow(new QLabel(kLeaveLabel));
    settings->addRow(wrapChoice);
    settings->addRow(deactivateChoice);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(kOkButton, QDialogButtonBox::AcceptRole);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    buttons->addButton(kCancelButton, QDialogButtonBox::RejectRole)->setObjectName("CancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrNewSimulation::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrNewSimulation::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(arenaFrame);
    layout->addWidget(simulationFrame);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (TFloatEdit* edit : {widthEdit_, heightEdit_, pixelsPerMeterEdit_})
        connect(edit, &QLineEdit::textChanged, this, &TfrNewSimulation::updateSizeField);
}

void TfrNewSimulation::showEvent(QShowEvent* event) {
    if (simulation_ != nullptr) {
        widthEdit_->SetValue(simulation_->Space.Width);
        heightEdit_->SetValue(simulation_->Space.Height);
        colorButton_->SetColor(simulation_->Space.Color);
        fpsEdit_->SetValue(simulation_->FPS);
        pixelsPerMeterEdit_->SetValue(simulation_->PixelsPerMeter);
    }
    updateSizeField();
    QDialog::showEvent(event);
}

void TfrNewSimulation::updateSizeField() {
    const Extended scale = pixelsPerMeterEdit_->Value();
    sizeField_->setText(generalNumber(widthEdit_->Value() * scale) + " x " +
                        generalNumber(heightEdit_->Value() * scale));
}

void TfrNewSimulation::accept() {
    if (simulation_ != nullptr) {
        simulation_->Space.SetWidth(widthEdit_->Value());
        simulation_->Space.SetHeight(heightEdit_->Value());
        simulation_->Space.SetColor(colorButton_->Color());
        simulation_->SetFPS(static_cast<std::uint8_t>(std::trunc(fpsEdit_->Value())));
        simulation_->SetPixelsPerMeter(
            static_cast<std::uint8_t>(std::trunc(pixelsPerMeterEdit_->Value())));
    }
    QDialog::accept();
}

} // namespace kova
