#pragma once

#include <QWidget>

#include <cstdint>

class QCheckBox;
class QPushButton;

namespace kova {

class TFloatEdit;
class TFrameTimer;
class TSimulation;
class TSpinEdit;

// Playback controls: run, pause and rewind, the simulated time, the loop
// point, the pause between frames, trails and double buffering. Every control
// mirrors a field of the simulation or calls one of its operations.
class TfrAnimationController : public QWidget {
    Q_OBJECT
public:
    TfrAnimationController(TSimulation& simulation, TFrameTimer& frames, QWidget* parent = nullptr);

    // Shows the simulation's clock.
    void SetCurrentTime();
    // Loop settings, clock and frame delay from the simulation, after a new
    // or loaded simulation.
    void ShowSimulationValues();
    // Whether a frame leaves the old figures on the arena.
    bool ShowTrails() const;

signals:
    // The window was closed with its close box.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showLoopPoint();
    void loopToggled(bool checked);
    void loopSecondChanged();
    void loopFrameChanged();

    TSimulation& simulation_;
    TFrameTimer& frames_;
    TFloatEdit* currentSecondEdit_;
    TFloatEdit* currentFrameEdit_;
    QCheckBox* loopCheckBox_;
    TFloatEdit* loopSecondEdit_;
    TFloatEdit* loopFrameEdit_;
    QPushButton* rewindButton_;
    QPushButton* playButton_;
    QPushButton* pauseButton_;
    QCheckBox* trailsCheckBox_;
    QCheckBox* doubleBufferCheckBox_;
    TSpinEdit* delayEdit_;
};

} // namespace kova
