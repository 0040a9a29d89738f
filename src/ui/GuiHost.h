#pragma once

#include "simulation/SimulationHost.h"

namespace kova {

class TfrAnimationController;
class TfrMain;
class TfrObjectBrowser;
class TfrTools;

// The simulation's notifications, passed on to the windows that show them.
// The property editor is not there yet: every modal edit is accepted
// unchanged, so new groups and triggers keep their defaults.
class TGuiHost final : public ISimulationHost {
public:
    TGuiHost(TfrMain& main, TfrObjectBrowser& browser, TfrTools& tools,
             TfrAnimationController& controller);

    void BrowserAddGroup(TBugGroup& group) override;
    void BrowserAddBug(TBug& bug, TBugGroup& group) override;
    void BrowserAddObstacle(TObstacle& obstacle) override;
    void BrowserAddTrigger(TTrigger& trigger) override;
    void BrowserUpdateNode(TNamedObject& object) override;
    void BrowserDeleteNode(TNamedObject& object) override;

    void ToolsAddGroup(TBugGroup& group) override;
    void ToolsUpdateGroup(TBugGroup& group) override;
    void ToolsDeleteGroup(TBugGroup& group) override;
    void ToolsReleaseBugButton() override;
    void ToolsReleaseObstacleButtons() override;
    void SetArenaCursor(TArenaCursor cursor) override;

    void BugsStepped() override;
    void SetCurrentTime(std::uint32_t second, std::uint32_t frame) override;
    bool ShowTrails() const override;

private:
    TfrMain& main_;
    TfrObjectBrowser& browser_;
    TfrTools& tools_;
    TfrAnimationController& controller_;
};

} // namespace kova
