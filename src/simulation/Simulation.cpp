#include "simulation/Simulation.h"

#include "foundations/Random.h"
#include "steering/SteeringBehaviour.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_set>
#include <utility>

namespace kova {

namespace {

template <typename T> void eraseObject(std::vector<std::unique_ptr<T>>& list, const T& object) {
    const auto it = std::find_if(list.begin(), list.end(), [&](const std::unique_ptr<T>& item) {
        return item.get() == &object;
    });
    if (it != list.end())
        list.erase(it);
}

template <typename T>
std::unique_ptr<T> takeObject(std::vector<std::unique_ptr<T>>& list, T& object) {
    const auto it = std::find_if(list.begin(), list.end(), [&](const std::unique_ptr<T>& item) {
        return item.get() == &object;
    });
    if (it == list.end())
        return nullptr;
    std::unique_ptr<T> taken = std::move(*it);
    list.erase(it);
    return taken;
}

template <typename T> void eraseFirst(std::vector<T*>& list, const T* item) {
    const auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end())
        list.erase(it);
}

} // namespace

TSimulation::TSimulation() {
    Doc.SetRunningFlag(&Running);
}

TSimulation::~TSimulation() = default;

void TSimulation::SetHost(ISimulationHost* host) {
    host_ = host != nullptr ? host : &defaultHost_;
}

// --- clock and stepping -------------------------------------------------------

TFrameContext TSimulation::FrameContext() const {
    TFrameContext frame;
    frame.ArenaWidth = Space.Width;
    frame.ArenaHeight = Space.Height;
    frame.FPS = FPS;
    frame.CurrentSecond = CurrentSecond;
    frame.CurrentFrame = CurrentFrame;
    return frame;
}

void TSimulation::BeginRun() {
    EndBugCreation();
    host_->ToolsReleaseObstacleButtons();
    Running = true;
}

void TSimulation::Run() {
    // A loop in progress keeps its pace; a second loop would step twice as fast.
    // The test is on the loop, not on Running: a fault inside a frame ends the
    // loop but leaves Running set, and a new Run must still start.
    if (looping_)
        return;
    BeginRun();
    looping_ = true;
    struct LoopEnd {
        bool& looping;
        ~LoopEnd() { looping = false; }
    } loopEnd{looping_};
    while (Running) {
        StepFrame();
        host_->ProcessEvents();
        host_->Sleep(Delay);
    }
}

void TSimulation::StepFrame() {
    const TFrameContext frame = FrameContext();
    for (const auto& group : Groups)
        StepMembers(*group, frame);
    host_->BugsStepped();

    if (!host_->ShowTrails())
        Doc.Clear();
    Doc.DrawAll();

    AdvanceClock();
    if (Loop && CurrentSecond == LoopSecond && CurrentFrame == LoopFrame)
        ResetToStart();
    host_->SetCurrentTime(CurrentSecond, CurrentFrame);
}

void TSimulation::AdvanceClock() {
    // Compared on the full frame value: a frame number beyond FPS - 1 (after
    // the frame rate was lowered) keeps counting and never rolls over.
    if (static_cast<std::int64_t>(CurrentFrame) == static_cast<std::int64_t>(FPS) - 1) {
        ++CurrentSecond;
        CurrentFrame = 0;
    } else {
        ++CurrentFrame;
    }
}

void TSimulation::Rewind() {
    ResetToStart();
    Doc.Clear();
    Doc.ClearBuffer();
    Doc.DrawAll();
    host_->SetCurrentTime(CurrentSecond, CurrentFrame);
}

void TSimulation::ResetToStart() {
    for (const auto& group : Groups)
        for (const auto& member : group->Members) {
            member->RestoreStartValues();
            member->RefreshElement();
        }
    CurrentSecond = 0;
    CurrentFrame = 0;
}

void TSimulation::CurrentToStart() {
    for (const auto& group : Groups)
        for (const auto& member : group->Members) {
            member->StoreStartValues();
            member->RefreshElement();
        }
    CurrentFrame = 0;
    CurrentSecond = 0;
    host_->SetCurrentTime(CurrentSecond, CurrentFrame);
}

// --- groups --------------------------------------------------------------------

TBugGroup* TSimulation::NewGroup() {
    auto group = std::make_unique<TBugGroup>(&Doc, "Group_" + std::to_string(GroupCount()));
    if (!host_->EditGroup(*group))
        return nullptr;
    TBugGroup* added = Groups.emplace_back(std::move(group)).get();
    host_->BrowserAddGroup(*added);
    host_->ToolsAddGroup(*added);
    return added;
}

bool TSimulation::EditGroup(TBugGroup& group) {
    if (!host_->EditGroup(group))
        return false;
    host_->BrowserUpdateNode(group);
    host_->ToolsUpdateGroup(group);
    return true;
}

void TSimulation::RemoveGroup(TBugGroup& group) {
    host_->BrowserDeleteNode(group);
    host_->ToolsDeleteGroup(group);
    std::unique_ptr<TBugGroup> removed = takeObject(Groups, group);
    std::unordered_set<const TBug*> members;
    for (const auto& member : group.Members)
        members.insert(member.get());
    clearTargets(members);
    removed.reset();
    if (Groups.empty())
        EndBugCreation();
    Repaint();
}

void TSimulation::ApplyTemplateToMembers(TBugGroup& group) {
    Randomize();
    const TDefaultBug& tmpl = group.Template;
    for (const auto& member : group.Members) {
        member->ApplyTemplate(tmpl);
        // A member that steers with a trigger's list gets its own list back; the
        // trigger's list is never overwritten.
        member->UseOwnBehaviours();
        CopyBehaviours(*tmpl.Behaviours, *member->Behaviours);
        CopyList(tmpl.Triggers, member->Triggers);
        if (IsAtStart())
            member->StoreStartValues();
    }
}

// --- bugs ----------------------------------------------------------------------

TBug* TSimulation::CreateBug(TBugGroup& group, const Vector& position) {
    auto created = std::make_unique<TBug>(group);
    TBug& bug = *created;
    bug.SetName(group.Template.Name + "_" + std::to_string(group.Members.size()));
    bug.SetPosition(position);
    bug.StoreStartValues();
    group.Members.push_back(std::move(created));
    host_->BrowserAddBug(bug, group);
    bug.RefreshElement();
    CopyBehaviours(*group.Template.Behaviours, *bug.Behaviours);
    return &bug;
}

bool TSimulation::EditBug(TBug& bug) {
    if (!host_->EditBug(bug))
        return false;
    if (IsAtStart())
        bug.StoreStartValues();
    host_->BrowserUpdateNode(bug);
    Repaint();
    return true;
}

void TSimulation::RemoveBug(TBug& bug) {
    host_->BrowserDeleteNode(bug);
    clearTargets({&bug});
    if (bug.Group != nullptr)
        eraseObject(bug.Group->Members, bug);
    Repaint();
}

// --- triggers ------------------------------------------------------------------

TTrigger* TSimulation::NewTrigger() {
    auto trigger = std::make_unique<TTrigger>("Trigger_" + std::to_string(TriggerCount()));
    if (!host_->EditTrigger(*trigger))
        return nullptr;
    TTrigger* added = Triggers.emplace_back(std::move(trigger)).get();
    host_->BrowserAddTrigger(*added);
    return added;
}

bool TSimulation::EditTrigger(TTrigger& trigger) {
    if (!host_->EditTrigger(trigger))
        return false;
    host_->BrowserUpdateNode(trigger);
    return true;
}

void TSimulation::RemoveTrigger(TTrigger& trigger) {
    host_->BrowserDeleteNode(trigger);
    RemoveReferences(trigger);
    // RemoveReferences takes one entry out of the lists of groups and bugs. A
    // file can list a trigger twice, or in a trigger's template; no list may
    // keep it once it is destroyed.
    for (const auto& group : Groups) {
        std::erase(group->Template.Triggers, &trigger);
        for (const auto& member : group->Members)
            std::erase(member->Triggers, &trigger);
    }
    for (const auto& other : Triggers)
        std::erase(other->Template.Triggers, &trigger);
    // Bugs that steer with the trigger's behaviour list keep it alive.
    eraseObject(Triggers, trigger);
}

// --- obstacles -----------------------------------------------------------------

TObstacle* TSimulation::CreateObstacle(std::uint8_t kind, Extended x1, Extended y1, Extended x2,
                                       Extended y2) {
    auto obstacle = std::make_unique<TObstacle>(&Doc, kind, x1, y1, x2, y2);
    obstacle->SetName("Obstacle_" + std::to_string(Obstacles.size()) +
                      (kind == TObstacle::kCircle ? "_Circle" : "_Line"));
    TObstacle* added = Obstacles.emplace_back(std::move(obstacle)).get();
    host_->BrowserAddObstacle(*added);
    return added;
}

void TSimulation::RemoveObstacle(TObstacle& obstacle) {
    host_->BrowserDeleteNode(obstacle);
    RemoveReferences(obstacle);
    // A behaviour read from a file can list the obstacle more than once.
    forEachBehaviourList([&](TBehaviourList& list) {
        for (const auto& behaviour : list)
            behaviour->Obstacles.EraseAll(&obstacle);
    });
    eraseObject(Obstacles, obstacle);
    Repaint();
}

void TSimulation::RemoveAll() {
    while (!Triggers.empty())
        RemoveTrigger(*Triggers.back());
    while (!Groups.empty())
        RemoveGroup(*Groups.back());
    while (!Obstacles.empty())
        RemoveObstacle(*Obstacles.back());
}

// --- references ----------------------------------------------------------------

void TSimulation::forEachBehaviourList(const std::function<void(TBehaviourList&)>& visit) {
    // Lists are shared (a trigger lends its list to bugs), so each is visited
    // once. Besides the current lists, the start and own lists a bug holds
    // aside while it steers with a trigger's list are visited too, so that no
    // behaviour anywhere keeps a reference to a destroyed object.
    //
    // A bug's own list is made for that bug alone, so the own lists are all
    // different. Only the other lists (templates' lists, and a trigger's list
    // a bug holds as current or start list) can repeat; they are gathered
    // first, in order, and an own list is left to that gathering in case it
    // was handed to another holder too.
    std::unordered_set<const TBehaviourList*> gathered;
    std::vector<TBehaviourList*> others;
    auto gather = [&](const TBehaviourListPtr& list) {
        if (list && gathered.insert(list.get()).second)
            others.push_back(list.get());
    };
    for (const auto& group : Groups) {
        gather(group->Template.Behaviours);
        for (const auto& member : group->Members) {
            const TBehaviourList* own = member->OwnBehaviours().get();
            if (member->Behaviours.get() != own)
                gather(member->Behaviours);
            if (member->StartBehaviours.get() != own)
                gather(member->StartBehaviours);
        }
    }
    for (const auto& trigger : Triggers)
        gather(trigger->Template.Behaviours);

    for (const auto& group : Groups)
        for (const auto& member : group->Members) {
            TBehaviourList* own = member->OwnBehaviours().get();
            if (own != nullptr && gathered.count(own) == 0)
                visit(*own);
        }
    for (TBehaviourList* list : others)
        visit(*list);
}

void TSimulation::clearTargets(const std::unordered_set<const TBug*>& bugs) {
    forEachBehaviourList([&](TBehaviourList& list) {
        for (const auto& behaviour : list)
            if (behaviour->TargetBug != nullptr && bugs.count(behaviour->TargetBug) != 0) {
                behaviour->TargetIsBug = false;
                behaviour->TargetBug = nullptr;
            }
    });
}

void TSimulation::RemoveReferences(const TNamedObject& object) {
    if (const auto* bug = dynamic_cast<const TBug*>(&object)) {
        clearTargets({bug});
    } else if (const auto* trigger = dynamic_cast<const TTrigger*>(&object)) {
        for (const auto& group : Groups) {
            eraseFirst(group->Template.Triggers, trigger);
            for (const auto& member : group->Members)
                eraseFirst(member->Triggers, trigger);
        }
    } else if (const auto* obstacle = dynamic_cast<const TObstacle*>(&object)) {
        forEachBehaviourList([&](TBehaviourList& list) {
            for (const auto& behaviour : list)
                behaviour->Obstacles.EraseFirst(obstacle);
        });
    }
}

void TSimulation::CopyBehaviours(const TBehaviourList& source, TBehaviourList& destination) {
    // Copies are made before the destination is emptied, so a list copied onto
    // itself keeps its behaviours.
    TBehaviourList copies;
    copies.reserve(source.size());
    for (const auto& behaviour : source) {
        auto copy = std::make_unique<TSteeringBehaviour>();
        copy->CopyFrom(*behaviour);
        copies.push_back(std::move(copy));
    }
    destination = std::move(copies);
}

// --- arena tools ---------------------------------------------------------------

void TSimulation::EndBugCreation() {
    BugCreationMode = false;
    host_->ToolsReleaseBugButton();
    host_->SetArenaCursor(TArenaCursor::Arrow);
}

void TSimulation::BeginBugCreation() {
    if (Groups.empty()) {
        EndBugCreation();
        return;
    }
    BugCreationMode = true;
    host_->SetArenaCursor(TArenaCursor::Cross);
    LineMode = false;
    EllipseMode = false;
}

void TSimulation::SelectObstacleLine(bool on) {
    LineMode = on;
    EllipseMode = !on;
}

void TSimulation::SelectObstacleEllipse(bool on) {
    EllipseMode = on;
    LineMode = !on;
}

void TSimulation::PlaceBug(TBugGroup* chosenGroup, Extended x, Extended y) {
    if (Running)
        return;
    if (BugCreationMode && chosenGroup != nullptr)
        CreateBug(*chosenGroup, Vector(x, y));
    Repaint();
}

void TSimulation::ApplyDrag(TBugGroup* chosenGroup, int density, Extended x1, Extended y1,
                            Extended x2, Extended y2) {
    Randomize();
    if (Running)
        return;
    if (BugCreationMode && chosenGroup != nullptr)
        paintBugs(*chosenGroup, density, x1, y1, x2, y2);
    if (LineMode)
        CreateObstacle(TObstacle::kLine, x1, y1, x2, y2);
    if (EllipseMode) {
        const Extended dx = x1 - x2;
        const Extended dy = y1 - y2;
        const Extended side = std::max(fabsl(dx), fabsl(dy));
        CreateObstacle(TObstacle::kCircle, x1, y1, dx > 0 ? x1 - side : x1 + side,
                       dy > 0 ? y1 - side : y1 + side);
    }
    Repaint();
}

namespace {

// The first and last cell of the brush's grid along one axis.
std::pair<std::int32_t, std::int32_t> brushCells(Extended from, Extended to, Extended cell) {
    if (to < from)
        std::swap(from, to);
    return {TruncToInt32(from / cell), TruncToInt32(to / cell)};
}

} // namespace

Extended TSimulation::BrushCellCount(Extended diameter, Extended x1, Extended y1, Extended x2,
                                     Extended y2) {
    if (!(diameter > 0))
        return 0;
    const auto [firstColumn, lastColumn] = brushCells(x1, x2, diameter);
    const auto [firstRow, lastRow] = brushCells(y1, y2, diameter);
    return (static_cast<Extended>(lastColumn) - firstColumn + 1) *
           (static_cast<Extended>(lastRow) - firstRow + 1);
}

void TSimulation::paintBugs(TBugGroup& group, int density, Extended x1, Extended y1, Extended x2,
                            Extended y2) {
    // The grid's cell is one bug diameter; without a positive diameter there is
    // no grid to fill.
    const Extended cell = group.Template.DiameterVariantValue.BaseValue;
    if (!(cell > 0))
        return;
    const auto [firstColumn, lastColumn] = brushCells(x1, x2, cell);
    const auto [firstRow, lastRow] = brushCells(y1, y2, cell);
    for (std::int64_t column = firstColumn; column <= lastColumn; ++column)
        for (std::int64_t row = firstRow; row <= lastRow; ++row)
            if (static_cast<int>(Random(100)) + 1 <= density)
                CreateBug(group, Vector(static_cast<Extended>(column) * cell,
                                        static_cast<Extended>(row) * cell));
}

void TSimulation::Repaint() {
    Doc.Clear();
    Doc.DrawAll();
}

} // namespace kova
