#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace kova {

class TSimulation;

// Drives the simulation's frames from the event loop: one frame per timer
// tick, the tick interval being the simulation's Delay. Events are processed
// between frames, so every command of the program runs between two frames.
class TFrameTimer : public QObject {
    Q_OBJECT
public:
    explicit TFrameTimer(TSimulation& simulation, QObject* parent = nullptr);

    // Starts the frames, the first one at once; a run in progress goes on at
    // the same pace. No frame is stepped while a modal window is open.
    void Run();
    // No further frame is stepped.
    void Pause();
    void Rewind();
    void CurrentToStart();
    bool IsTicking() const { return timer_.isActive(); }
    // Every bug of the frame in progress has stepped; drawing comes next.
    void BugsStepped();

signals:
    // A frame went wrong; the run stops and the message is for the user.
    void frameFailed(const QString& message);
    // A run was paused (or stopped by a failed frame).
    void paused();

private:
    void tick();

    TSimulation& simulation_;
    QTimer timer_;
    QElapsedTimer frameClock_;
    qint64 steppedAt_ = 0;
    // Set from the environment variable KOVA_FRAME_TIMES: each frame's time
    // (stepping and drawing) goes to the standard error stream.
    bool reportTimes_ = false;
};

} // namespace kova
