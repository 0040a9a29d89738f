#include "ui/FrameTimer.h"

#include "simulation/Simulation.h"

#include <cstdio>
#include <exception>

namespace kova {

TFrameTimer::TFrameTimer(TSimulation& simulation, QObject* parent)
    : QObject(parent), simulation_(simulation),
      reportTimes_(qEnvironmentVariableIsSet("KOVA_FRAME_TIMES")) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TFrameTimer::tick);
}

void TFrameTimer::Run() {
    if (simulation_.Running && timer_.isActive())
        return;
    simulation_.BeginRun();
    timer_.start(simulation_.Delay);
}

void TFrameTimer::Pause() {
    simulation_.Pause();
    timer_.stop();
}

void TFrameTimer::Rewind() {
    simulation_.Rewind();
}

void TFrameTimer::CurrentToStart() {
    simulation_.CurrentToStart();
}

void TFrameTimer::BugsStepped() {
    if (frameClock_.isValid())
        steppedAt_ = frameClock_.nsecsElapsed();
}

void TFrameTimer::tick() {
    if (!simulation_.Running) {
        timer_.stop();
        return;
    }
    if (timer_.interval() != simulation_.Delay)
        timer_.setInterval(simulation_.Delay);
    frameClock_.start();
    steppedAt_ = 0;
    try {
        simulation_.StepFrame();
    } catch (const std::exception& error) {
        // Running stays set, as after any fault inside a frame; a new Run
        // starts normally.
        timer_.stop();
        emit frameFailed(QString::fromStdString(error.what()));
        return;
    }
    if (reportTimes_) {
        const qint64 total = frameClock_.nsecsElapsed();
        std::fprintf(stderr, "frame %u:%u %.3f ms (steering %.3f ms, drawing %.3f ms)\n",
                     simulation_.CurrentSecond, simulation_.CurrentFrame,
                     static_cast<double>(total) / 1e6, static_cast<double>(steppedAt_) / 1e6,
                     static_cast<double>(total - steppedAt_) / 1e6);
    }
    if (!simulation_.Running)
        timer_.stop();
}

} // namespace kova
