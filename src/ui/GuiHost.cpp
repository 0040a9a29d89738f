#include "ui/GuiHost.h"

#include "simulation/Simulation.h"
#include "ui/AnimationController.h"
#include "ui/EditHistory.h"
#include "ui/FrameTimer.h"
#include "ui/MainWindow.h"
#include "ui/ObjectBrowser.h"
#include "ui/PropertyForm.h"
#include "ui/StatisticsWindow.h"
#include "ui/Tools.h"

namespace kova {

TGuiHost::TGuiHost(TfrMain& main, TfrObjectBrowser& browser, TfrTools& tools,
                   TfrAnimationController& controller, TfrStatistics& statistics,
                   TPropertyForm& propertyForm)
    : main_(main), browser_(browser), tools_(tools), controller_(controller),
      statistics_(statistics), propertyForm_(propertyForm) {}

void TGuiHost::BrowserAddGroup(TBugGroup& group) {
    browser_.AddGroup(group);
}

void TGuiHost::BrowserAddBug(TBug& bug, TBugGroup& group) {
    browser_.AddBug(bug, group);
}

void TGuiHost::BrowserAddObstacle(TObstacle& obstacle) {
    browser_.AddObstacle(obstacle);
}

void TGuiHost::BrowserAddTrigger(TTrigger& trigger) {
    browser_.AddTrigger(trigger);
}

void TGuiHost::BrowserUpdateNode(TNamedObject& object) {
    browser_.UpdateNode(object);
}

void TGuiHost::BrowserDeleteNode(TNamedObject& object) {
    browser_.DeleteNode(object);
}

void TGuiHost::ToolsAddGroup(TBugGroup& group) {
    tools_.AddGroup(group);
    statistics_.AddGroup(group);
}

void TGuiHost::ToolsUpdateGroup(TBugGroup& group) {
    tools_.UpdateGroup(group);
    statistics_.UpdateGroup(group);
}

void TGuiHost::ToolsDeleteGroup(TBugGroup& group) {
    tools_.DeleteGroup(group);
    statistics_.DeleteGroup(group);
}

void TGuiHost::ToolsReleaseBugButton() {
    tools_.ReleaseBugButton();
}

void TGuiHost::ToolsReleaseObstacleButtons() {
    tools_.ReleaseObstacleButtons();
}

void TGuiHost::SetArenaCursor(TArenaCursor cursor) {
    main_.SetArenaCursor(cursor);
}

void TGuiHost::BugsStepped() {
    main_.History().SimulationChanged();
    main_.Frames().BugsStepped();
    statistics_.BugsStepped();
}

void TGuiHost::SetCurrentTime(std::uint32_t second, std::uint32_t frame) {
    controller_.SetCurrentTime();
    statistics_.SetCurrentTime(second, frame);
}

bool TGuiHost::ShowTrails() const {
    return controller_.ShowTrails();
}

bool TGuiHost::EditGroup(TBugGroup& group) {
    return main_.History().Record("Edit Group", [&] {
        propertyForm_.LoadGroup(group);
        if (!runPropertyForm())
            return false;
        // The members took the group's colour (and perhaps new sizes).
        main_.Simulation().Repaint();
        return true;
    });
}

bool TGuiHost::EditBug(TBug& bug) {
    return main_.History().Record("Edit Bug", [&] {
        propertyForm_.LoadBug(bug);
        return runPropertyForm();
    });
}

bool TGuiHost::EditTrigger(TTrigger& trigger) {
    return main_.History().Record("Edit Trigger", [&] {
        propertyForm_.LoadTrigger(trigger);
        return runPropertyForm();
    });
}

bool TGuiHost::runPropertyForm() {
    // No frame is stepped while the editor is open, as if the frame loop
    // waited for it; a run goes on afterwards.
    TFrameTimer& frames = main_.Frames();
    const bool running = frames.IsTicking();
    if (running)
        frames.Pause();
    const bool accepted = propertyForm_.exec() == QDialog::Accepted;
    if (running)
        frames.Run();
    return accepted;
}

} // namespace kova
