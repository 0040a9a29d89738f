#include "ui/FrameTimer.h"

#include "simulation/Simulation.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace kova {

namespace {

// While a modal window is open the timer only looks, this often, whether it
// has closed; with a delay of 0 it would otherwise spin.
constexpr int kModalPollInterval = 20;

} // namespace

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
    // The first frame comes at once; the delay lies between frames.
    tick();
}

void TFrameTimer::Pause() {
    simulation_.Pause();
    if (!timer_.isActive())
        return;
    timer_.stop();
    emit paused();
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
    // A modal window (a dialog, a question) holds the clock until it closes.
    if (QApplication::activeModalWidget() != nullptr) {
        timer_.setInterval(std::max<int>(simulation_.Delay, kModalPollInterval));
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
        emit paused();
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
