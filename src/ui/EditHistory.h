#pragma once

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QUndoStack;

namespace kova {

class TSimulation;

// The simulation as a file would hold it, kept in memory.
struct TSnapshot {
    std::vector<std::uint8_t> Bytes;
};
using TSnapshotPtr = std::shared_ptr<TSnapshot>;

// Undo and redo of the user's changes to the simulation. Every step keeps the
// simulation as it was before the change and as it was after it, as the bytes
// a save would write; undo and redo load those bytes, so the state after an
// undo saves to exactly the bytes saved before the change.
//
// Taking a snapshot of a large simulation costs a save, so the history keeps
// the current state's snapshot ready: it is taken once the program is idle
// after a change (that is also the step's "after"), and a change made while it
// is still valid costs nothing extra. Frames invalidate it.
//
// The snapshots of all steps together stay below a budget; the oldest steps
// are forgotten to make room for a new one.
class TEditHistory : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kDefaultBudget = std::size_t{256} << 20;

    explicit TEditHistory(TSimulation& simulation, QObject* parent = nullptr);
    ~TEditHistory() override;

    QUndoStack& Stack() const { return *stack_; }

    // Runs `edit`, a change the user makes, as one step named `text`. The
    // edit returns false when it changed nothing (a cancelled dialog): then no
    // step is kept. An edit run inside another one belongs to the outer step.
    bool Record(const QString& text, const std::function<bool()>& edit);

    // The simulation changed in a way that is not a step (a frame ran): the
    // next step takes its "before" anew.
    void SimulationChanged() { currentValid_ = false; }
    // Takes the snapshots that are due (the newest step's "after", then the
    // current state's) once the program has nothing else to do, after
    // every repaint that is waiting: so a change is shown at once, and the
    // next change costs no snapshot of its own. Called after a step, after
    // opening and when a run pauses.
    void PrepareWhenIdle();

    // Undo and redo (a run pauses first, through aboutToRestore).
    void Undo();
    void Redo();

    // A file (of this size) was opened: the history starts again from it,
    // unmodified.
    void Reset(std::size_t fileBytes = 0);
    // The simulation was saved: this is the unmodified state.
    void MarkSaved();
    bool IsModified() const;

    void SetBudget(std::size_t bytes) { budget_ = bytes; }
    // The bytes the steps' snapshots hold together.
    std::size_t BytesHeld() const;

protected:
    void customEvent(QEvent* event) override;

signals:
    // Undo or redo (also from the undo view) is about to replace the
    // simulation's objects: a run must pause.
    void aboutToRestore();
    // Undo or redo replaced the simulation's objects and settings.
    void restored();
    // A snapshot could not be loaded (memory ran out): the simulation is as
    // it was before the undo or redo.
    void restoreFailed(const QString& message);
    void modifiedChanged(bool modified);

private:
    class TStep;
    friend class TStep;
    struct TStepSnapshots {
        QString Text;
        TSnapshotPtr Before;
        TSnapshotPtr After;
    };
    std::vector<TStepSnapshots> steps() const;

    // The bytes a save would write now, without disturbing a run.
    std::vector<std::uint8_t> snapshotBytes();
    // The current state's snapshot, taken now if the one kept is stale.
    TSnapshotPtr currentSnapshot();
    void restore(const TSnapshotPtr& snapshot);
    // Takes the snapshot of the state the newest step left, which is also
    // that step's "after"; false when it has it already.
    bool takePendingAfter();
    // The same, then forgets old steps beyond the budget.
    void completePendingStep();
    void keepWithinBudget();

    TSimulation& simulation_;
    QUndoStack* stack_;
    TSnapshotPtr current_;
    bool currentValid_ = false;
    // The "after" of the newest step, filled in once the program is idle.
    TSnapshotPtr pendingAfter_;
    int recording_ = 0;
    bool idlePosted_ = false;
    // The size of the last snapshot, or of the file opened.
    std::size_t expectedBytes_ = 0;
    std::size_t budget_ = kDefaultBudget;
};

} // namespace kova
