#pragma once

#include <QDialog>

class QLineEdit;

namespace kova {

class TColorButton;
class TFloatEdit;
class TSimulation;

// The simulation properties dialog: arena width, height and colour, frames per
// second and pixels per metre. Filled from the simulation when shown; OK
// writes all five values back, Cancel none.
class TfrNewSimulation : public QDialog {
    Q_OBJECT
public:
    explicit TfrNewSimulation(QWidget* parent = nullptr);

    // The simulation the next showing edits (not owned).
    void SetSimulation(TSimulation* simulation) { simulation_ = simulation; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateSizeField();

    TSimulation* simulation_ = nullptr;
    TFloatEdit* widthEdit_;
    TFloatEdit* heightEdit_;
    TColorButton* colorButton_;
    QLineEdit* sizeField_;
    TFloatEdit* pixelsPerMeterEdit_;
    TFloatEdit* fpsEdit_;
};

} // namespace kova
