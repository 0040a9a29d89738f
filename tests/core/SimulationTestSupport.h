#pragma once

#include "foundations/NamedObject.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationHost.h"
#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/BugGroup.h"
#include "world/Canvas.h"
#include "world/Obstacle.h"
#include "world/Trigger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kova::test {

// A host that writes every notification into a log, in call order, as
// "<hook> <object name>" ("BrowserAddBug Member_0 Group_0", "SetCurrentTime
// 1:0"). The modal edits answer OK or Cancel as configured and may change the
// object first, as a property editor closed with OK would.
class RecordingHost : public ISimulationHost {
public:
    std::vector<std::string> Log;
    bool AnswerOk = true;
    bool Trails = false;
    // Runs inside ProcessEvents with the number of that frame (1 for the
    // first frame of the run).
    std::function<void(int frame)> OnProcessEvents;
    std::function<void(TNamedObject&)> OnEdit;
    int FramesProcessed = 0;

    void BrowserAddGroup(TBugGroup& group) override { add("BrowserAddGroup", group); }
    void BrowserAddBug(TBug& bug, TBugGroup& group) override {
        Log.push_back("BrowserAddBug " + bug.Name + " " + group.Name);
    }
    void BrowserAddObstacle(TObstacle& obstacle) override { add("BrowserAddObstacle", obstacle); }
    void BrowserAddTrigger(TTrigger& trigger) override { add("BrowserAddTrigger", trigger); }
    void BrowserUpdateNode(TNamedObject& object) override { add("BrowserUpdateNode", object); }
    void BrowserDeleteNode(TNamedObject& object) override { add("BrowserDeleteNode", object); }
    void ToolsAddGroup(TBugGroup& group) override { add("ToolsAddGroup", group); }
    void ToolsUpdateGroup(TBugGroup& group) override { add("ToolsUpdateGroup", group); }
    void ToolsDeleteGroup(TBugGroup& group) override { add("ToolsDeleteGroup", group); }
    void ToolsReleaseBugButton() override { Log.push_back("ToolsReleaseBugButton"); }
    void ToolsReleaseObstacleButtons() override { Log.push_back("ToolsReleaseObstacleButtons"); }
    void SetArenaCursor(TArenaCursor cursor) override {
        Log.push_back(cursor == TArenaCursor::Cross ? "SetArenaCursor Cross"
                                                    : "SetArenaCursor Arrow");
    }
    void SetCurrentTime(std::uint32_t second, std::uint32_t frame) override {
        Log.push_back("SetCurrentTime " + std::to_string(second) + ":" + std::to_string(frame));
    }
    bool ShowTrails() const override { return Trails; }
    void ProcessEvents() override {
        Log.push_back("ProcessEvents");
        ++FramesProcessed;
        if (OnProcessEvents)
            OnProcessEvents(FramesProcessed);
    }
    void Sleep(std::uint32_t milliseconds) override {
        Log.push_back("Sleep " + std::to_string(milliseconds));
    }
    bool EditGroup(TBugGroup& group) override { return edit("EditGroup", group); }
    bool EditBug(TBug& bug) override { return edit("EditBug", bug); }
    bool EditTrigger(TTrigger& trigger) override { return edit("EditTrigger", trigger); }

    // The entries that start with the prefix, in order.
    std::vector<std::string> Entries(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& entry : Log)
            if (entry.rfind(prefix, 0) == 0)
                found.push_back(entry);
        return found;
    }

private:
    void add(const char* hook, const TNamedObject& object) {
        Log.push_back(std::string(hook) + " " + object.Name);
    }
    bool edit(const char* hook, TNamedObject& object) {
        add(hook, object);
        if (AnswerOk && OnEdit)
            OnEdit(object);
        return AnswerOk;
    }
};

// A canvas that logs the calls that show a repaint: "<surface>:FillRect" for
// a clear, "<surface>:Ellipse", ":Rectangle", ":LineTo" for drawn elements and
// "<surface>:CopyRect" for a buffer copied to the view.
class RecordingCanvas : public ICanvas {
public:
    RecordingCanvas(std::vector<std::string>& log, std::string surface)
        : log_(log), surface_(std::move(surface)) {}

    void SetBrushColor(TColor) override {}
    void SetBrushStyle(std::uint8_t) override {}
    void FillRect(const TRect&) override { record("FillRect"); }
    void MoveTo(TPoint) override {}
    void LineTo(TPoint) override { record("LineTo"); }
    void Ellipse(const TRect&) override { record("Ellipse"); }
    void Rectangle(const TRect&) override { record("Rectangle"); }
    TRect ClipRect() const override { return {0, 0, 400, 300}; }
    void CopyRect(const TRect&, ICanvas&, const TRect&) override { record("CopyRect"); }

private:
    void record(const char* call) { log_.push_back(surface_ + ":" + call); }
    std::vector<std::string>& log_;
    std::string surface_;
};

class RecordingSurface : public IDrawSurface {
public:
    RecordingSurface(std::vector<std::string>& log, std::string surface)
        : canvas_(log, std::move(surface)) {}
    ICanvas& Canvas() override { return canvas_; }
    void SetSize(int, int) override {}

private:
    RecordingCanvas canvas_;
};

// A simulation attached to a recording host, whose drawing document paints on
// a recording view and buffer.
class SimulationFixture : public ::testing::Test {
protected:
    SimulationFixture() {
        sim.SetHost(&host);
        sim.Doc.SetPaintBox(&view);
        sim.Doc.SetBuffer(std::make_unique<RecordingSurface>(drawing, "buffer"));
    }
    ~SimulationFixture() override { sim.SetHost(nullptr); }

    // A group added as NewGroup adds it with the host answering OK.
    TBugGroup& AddGroup() {
        TBugGroup* group = sim.NewGroup();
        EXPECT_NE(group, nullptr);
        return *group;
    }
    TBug& AddBug(TBugGroup& group, Extended x, Extended y) {
        return *sim.CreateBug(group, Vector(x, y));
    }
    TTrigger& AddTrigger() {
        TTrigger* trigger = sim.NewTrigger();
        EXPECT_NE(trigger, nullptr);
        return *trigger;
    }
    // Forgets what has been logged so far.
    void ClearLogs() {
        host.Log.clear();
        drawing.clear();
    }
    // How many times the view was cleared: one per repaint outside a run.
    long ViewClears() const { return std::count(drawing.begin(), drawing.end(), "view:FillRect"); }

    RecordingHost host;
    std::vector<std::string> drawing;
    RecordingSurface view{drawing, "view"};
    TSimulation sim;
};

inline TSteeringBehaviour& AddBehaviour(TBehaviourList& list, std::uint8_t kind) {
    list.push_back(std::make_unique<TSteeringBehaviour>(kind));
    return *list.back();
}

// Every behaviour list a bug can hold: current, start and own.
inline std::vector<const TBehaviourList*> ListsOf(const TBug& bug) {
    return {bug.Behaviours.get(), bug.StartBehaviours.get(), bug.OwnBehaviours().get()};
}

} // namespace kova::test
