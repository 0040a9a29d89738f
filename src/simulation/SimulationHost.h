#pragma once

#include <cstdint>

namespace kova {

class TBug;
class TBugGroup;
class TNamedObject;
class TObstacle;
class TTrigger;

enum class TArenaCursor { Arrow, Cross };

// Everything the simulation tells the windows, and the modal edits it asks
// them for. Every hook does nothing by default, so the simulation runs without
// any window; the desktop program implements it and tests record it.
class ISimulationHost {
public:
    virtual ~ISimulationHost() = default;

    // Object browser.
    virtual void BrowserAddGroup(TBugGroup&) {}
    virtual void BrowserAddBug(TBug&, TBugGroup&) {}
    virtual void BrowserAddObstacle(TObstacle&) {}
    virtual void BrowserAddTrigger(TTrigger&) {}
    virtual void BrowserUpdateNode(TNamedObject&) {}
    virtual void BrowserDeleteNode(TNamedObject&) {}

    // Tools window.
    virtual void ToolsAddGroup(TBugGroup&) {}
    virtual void ToolsUpdateGroup(TBugGroup&) {}
    virtual void ToolsDeleteGroup(TBugGroup&) {}
    // The bug tool button goes up.
    virtual void ToolsReleaseBugButton() {}
    // The line and ellipse tool buttons go up.
    virtual void ToolsReleaseObstacleButtons() {}
    virtual void SetArenaCursor(TArenaCursor) {}

    // Frame loop: every bug has taken this frame's step; the frame is not drawn
    // yet and the clock still shows the time at which the frame started.
    virtual void BugsStepped() {}

    // Animation controller.
    virtual void SetCurrentTime(std::uint32_t /*second*/, std::uint32_t /*frame*/) {}
    virtual bool ShowTrails() const { return false; }

    // Frame loop of a blocking Run: process pending events, then wait.
    virtual void ProcessEvents() {}
    virtual void Sleep(std::uint32_t /*milliseconds*/) {}

    // Modal edits in the property editor: true when closed with OK (and the
    // editor has written the object back). Without an editor every edit is
    // accepted unchanged.
    virtual bool EditGroup(TBugGroup&) { return true; }
    virtual bool EditBug(TBug&) { return true; }
    virtual bool EditTrigger(TTrigger&) { return true; }
};

} // namespace kova
