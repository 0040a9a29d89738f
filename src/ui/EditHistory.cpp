#include "ui/EditHistory.h"

#include "foundations/Streams.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <QCoreApplication>
#include <QEvent>
#include <QUndoStack>

#include <exception>
#include <set>
#include <utility>

namespace kova {

// One change: the snapshots before and after it. The change itself has
// already been made when the step is pushed, so its first redo does nothing.
class TEditHistory::TStep final : public QUndoCommand {
public:
    TStep(TEditHistory& history, const QString& text, TSnapshotPtr before, TSnapshotPtr after)
        : QUndoCommand(text), history_(history), before_(std::move(before)),
          after_(std::move(after)) {}

    void undo() override { history_.restore(before_); }
    void redo() override {
        if (done_)
            done_ = false;
        else
            history_.restore(after_);
    }

    const TSnapshotPtr& Before() const { return before_; }
    const TSnapshotPtr& After() const { return after_; }

private:
    TEditHistory& history_;
    TSnapshotPtr before_;
    TSnapshotPtr after_;
    bool done_ = true;
};

TEditHistory::TEditHistory(TSimulation& simulation, QObject* parent)
    : QObject(parent), simulation_(simulation), stack_(new QUndoStack(this)) {
    connect(stack_, &QUndoStack::cleanChanged, this,
            [this](bool clean) { emit modifiedChanged(!clean); });
}

TEditHistory::~TEditHistory() = default;

bool TEditHistory::Record(const QString& text, const std::function<bool()>& edit) {
    if (recording_ > 0)
        return edit();
    // The previous step's "after" is this state, before this change.
    completePendingStep();
    TSnapshotPtr before = currentSnapshot();
    ++recording_;
    bool changed = false;
    try {
        changed = edit();
    } catch (...) {
        --recording_;
        currentValid_ = false;
        throw;
    }
    --recording_;
    if (!changed)
        return false;

    currentValid_ = false;
    pendingAfter_ = std::make_shared<TSnapshot>();
    stack_->push(new TStep(*this, text, std::move(before), pendingAfter_));
    keepWithinBudget();
    PrepareWhenIdle();
    return true;
}

namespace {

const QEvent::Type kIdleEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

void TEditHistory::PrepareWhenIdle() {
    if (idlePosted_)
        return;
    idlePosted_ = true;
    // Widgets post their repaints at low priority; this comes after them.
    QCoreApplication::postEvent(this, new QEvent(kIdleEvent), Qt::LowEventPriority - 1);
}

void TEditHistory::customEvent(QEvent* event) {
    if (event->type() != kIdleEvent)
        return QObject::customEvent(event);
    idlePosted_ = false;
    completePendingStep();
    currentSnapshot();
}

void TEditHistory::completePendingStep() {
    if (takePendingAfter())
        keepWithinBudget();
}

bool TEditHistory::takePendingAfter() {
    if (!pendingAfter_)
        return false;
    const TSnapshotPtr after = std::exchange(pendingAfter_, nullptr);
    after->Bytes = snapshotBytes();
    current_ = after;
    currentValid_ = true;
    return true;
}

std::vector<std::uint8_t> TEditHistory::snapshotBytes() {
    TMemoryStream stream;
    // Consecutive snapshots differ little in size; a little more room saves
    // copying tens of megabytes while the stream grows.
    stream.Reserve(expectedBytes_ + expectedBytes_ / 16);
    WriteSimulationSnapshot(simulation_, stream);
    expectedBytes_ = static_cast<std::size_t>(stream.Size());
    return stream.TakeBytes();
}

TSnapshotPtr TEditHistory::currentSnapshot() {
    if (!currentValid_ || !current_) {
        current_ = std::make_shared<TSnapshot>(TSnapshot{snapshotBytes()});
        currentValid_ = true;
    }
    return current_;
}

void TEditHistory::restore(const TSnapshotPtr& snapshot) {
    emit aboutToRestore();
    // The undo view moves through the stack without Undo() or Redo(); the
    // newest step may still lack its "after". The stack is busy: nothing is
    // trimmed here.
    takePendingAfter();
    // The playback settings belong to the animation controller, not to the
    // history: they stay as the user left them.
    const auto delay = simulation_.Delay;
    const bool loop = simulation_.Loop;
    const auto loopSecond = simulation_.LoopSecond;
    const auto loopFrame = simulation_.LoopFrame;
    const bool timerTick = simulation_.TimerTick;
    try {
        TMemoryStream stream(snapshot->Bytes);
        ReadSimulationFile(simulation_, stream);
    } catch (const std::exception& error) {
        // The simulation is as it was; the history no longer matches it.
        currentValid_ = false;
        emit restoreFailed(QString::fromLocal8Bit(error.what()));
        return;
    }
    simulation_.Delay = delay;
    simulation_.Loop = loop;
    simulation_.LoopSecond = loopSecond;
    simulation_.LoopFrame = loopFrame;
    simulation_.TimerTick = timerTick;
    current_ = snapshot;
    currentValid_ = true;
    emit restored();
}

void TEditHistory::Undo() {
    completePendingStep();
    stack_->undo();
}

void TEditHistory::Redo() {
    completePendingStep();
    stack_->redo();
}

void TEditHistory::Reset(std::size_t fileBytes) {
    expectedBytes_ = fileBytes;
    stack_->clear();
    current_.reset();
    pendingAfter_.reset();
    currentValid_ = false;
    PrepareWhenIdle();
}

void TEditHistory::MarkSaved() {
    stack_->setClean();
}

bool TEditHistory::IsModified() const {
    return !stack_->isClean();
}

namespace {

// The bytes of the steps' snapshots, each counted once: a step's "after" is
// usually the next step's "before".
template <typename Steps> std::size_t bytesHeldFrom(const Steps& steps, std::size_t first) {
    std::set<const TSnapshot*> counted;
    std::size_t bytes = 0;
    for (std::size_t i = first; i < steps.size(); ++i)
        for (const TSnapshotPtr& snapshot : {steps[i].Before, steps[i].After})
            if (counted.insert(snapshot.get()).second)
                bytes += snapshot->Bytes.size();
    return bytes;
}

} // namespace

std::vector<TEditHistory::TStepSnapshots> TEditHistory::steps() const {
    std::vector<TStepSnapshots> steps;
    for (int i = 0; i < stack_->count(); ++i) {
        const auto* step = static_cast<const TStep*>(stack_->command(i));
        steps.push_back({step->text(), step->Before(), step->After()});
    }
    return steps;
}

std::size_t TEditHistory::BytesHeld() const {
    return bytesHeldFrom(steps(), 0);
}

// QUndoStack forgets old steps only by count, so the steps to keep are pushed
// again onto an emptied stack (as done steps: nothing is restored). This
// happens only when a new step was just pushed, so every step is done and
// the current state is the newest.
void TEditHistory::keepWithinBudget() {
    const std::vector<TStepSnapshots> kept = steps();
    std::size_t dropped = 0;
    // The newest step always stays.
    while (dropped + 1 < kept.size() && bytesHeldFrom(kept, dropped) > budget_)
        ++dropped;
    if (dropped == 0)
        return;

    const int clean = stack_->cleanIndex() - static_cast<int>(dropped);
    stack_->clear();
    for (std::size_t i = dropped; i < kept.size(); ++i) {
        stack_->push(new TStep(*this, kept[i].Text, kept[i].Before, kept[i].After));
        if (clean == stack_->index())
            stack_->setClean();
    }
    if (clean < 0)
        stack_->resetClean();
}

} // namespace kova
