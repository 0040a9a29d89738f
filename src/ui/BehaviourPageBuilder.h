#pragma once

#include <QString>

#include <functional>

class QMenu;
class QWidget;

namespace kova {

class TBehaviourPage;
class TSteeringBehaviour;

// Gives a control the name to use for a base name (unique in the window).
using TControlNamer = std::function<QString(const QString& base)>;

// A new page for the behaviour with the controls of its kind: the target page
// for seek, flee, moth seek and moth flee, the same with a stopping radius for
// arrival, the neighbour page for cohesion, alignment and separation, the
// obstacle page for obstacle avoidance. The page is made a child of `parent`
// before its controls are named. Obstacle lists pop up `obstacleMenu`.
TBehaviourPage* BuildBehaviourPage(TSteeringBehaviour& behaviour, QWidget* parent,
                                   const TControlNamer& nameFor, QMenu* obstacleMenu);

} // namespace kova
