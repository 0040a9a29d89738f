#include "ui/GuiHost.h"

#include "ui/AnimationController.h"
#include "ui/FrameTimer.h"
#include "ui/MainWindow.h"
#include "ui/ObjectBrowser.h"
#include "ui/Tools.h"

namespace kova {

TGuiHost::TGuiHost(TfrMain& main, TfrObjectBrowser& browser, TfrTools& tools,
                   TfrAnimationController& controller)
    : main_(main), browser_(browser), tools_(tools), controller_(controller) {}

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
}

void TGuiHost::ToolsUpdateGroup(TBugGroup& group) {
    tools_.UpdateGroup(group);
}

void TGuiHost::ToolsDeleteGroup(TBugGroup& group) {
    tools_.DeleteGroup(group);
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
    main_.Frames().BugsStepped();
}

void TGuiHost::SetCurrentTime(std::uint32_t, std::uint32_t) {
    controller_.SetCurrentTime();
}

bool TGuiHost::ShowTrails() const {
    return controller_.ShowTrails();
}

} // namespace kova
