#pragma once

#include "simulation/SimulationHost.h"

namespace kova {

class TPropertyForm;
class TfrAnimationController;
class TfrMain;
class TfrObjectBrowser;
class TfrStatistics;
class TfrTools;

// The simulation's notifications, passed on to the windows that show them
// (the groups to the tools and the statistics windows), and its modal edits,
// run in the property editor.
class TGuiHost final : public ISimulationHost {
public:
    TGuiHost(TfrMain& main, TfrObjectBrowser& browser, TfrTools& tools,
             TfrAnimationController& controller, TfrStatistics& statistics,
             TPropertyForm& propertyForm);

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

    // The property editor, modally; true when it was closed with OK and has
    // written the object back.
    bool EditGroup(TBugGroup& group) override;
    bool EditBug(TBug& bug) override;
    bool EditTrigger(TTrigger& trigger) override;

private:
    bool runPropertyForm();

    TfrMain& main_;
    TfrObjectBrowser& browser_;
    TfrTools& tools_;
    TfrAnimationController& controller_;
    TfrStatistics& statistics_;
    TPropertyForm& propertyForm_;
};

} // namespace kova
