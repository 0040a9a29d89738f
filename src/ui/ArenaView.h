#pragma once

#include "render/QtCanvas.h"

#include <QPoint>
#include <QSize>
#include <QWidget>

namespace kova {

// The figure shown while an arena tool is dragged.
enum class TRubberBand { None, Rect, Line, Ellipse };

// The arena's paint surface. Qt lets a widget be painted only inside its
// paint event, while the core clears and draws whenever it likes; so the core
// draws into a persistent picture (the view's canvas) and the paint event only
// shows that picture. Figures that are not cleared therefore stay, which is
// how trails build up.
//
// The picture holds only the part of the arena that shows in the scroll
// area's viewport, so that its size and the cost of drawing follow the window,
// not the arena. From 100 % up it holds that part one model pixel to a
// picture pixel and the view scales it up; below 100 % the arena is drawn
// reduced, one picture pixel to a screen pixel. When the part shown changes
// (scrolling, zooming, resizing) the picture moves and the view asks for the
// arena to be drawn again; figures left by earlier frames are then gone. The
// view hands the mouse positions back as model pixels. The rubber band of a
// drag is drawn over the scaled picture and never into it.
class TArenaView : public QWidget {
    Q_OBJECT
public:
    explicit TArenaView(QWidget* parent = nullptr);

    // The surface the drawing document paints on; the widget's size is the
    // arena's size times the zoom.
    TQtSurface& Surface() { return surface_; }
    const QImage& Image() const { return surface_.Image(); }
    // Moves the picture to the part of the arena the viewport shows, and
    // emits pictureMoved if that is another part than before; true then.
    // The paint event does this first, so the view never shows a part of the
    // arena that has not been drawn.
    bool FollowViewport();

    // The zoom is kept between these two.
    static constexpr double kSmallestZoom = 1.0 / 16;
    static constexpr double kLargestZoom = 16;

    double Zoom() const { return zoom_; }
    // Scales the view.
    void SetZoom(double zoom);
    // The arena's size in model pixels.
    QSize ModelSize() const { return modelSize_; }

    // The model pixel under a point of the widget; points outside the widget
    // give model pixels outside the arena.
    QPoint ToModel(QPointF widgetPoint) const;
    // The model point (not rounded) under a point of the widget, and back.
    QPointF ToModelF(QPointF widgetPoint) const;
    QPointF ToWidget(QPointF modelPoint) const;

    // Shows the drag's figure between two model pixels, in place of the one
    // shown before: a filled rectangle, a line, or the outline of the ellipse
    // inside the rectangle. Every pixel it covers is shown inverted.
    void ShowRubberBand(TRubberBand kind, QPoint from, QPoint to);
    void HideRubberBand();

signals:
    // The picture now holds another part of the arena, and is white until
    // the arena is drawn again.
    void pictureMoved();
    // Positions in model pixels.
    void mousePressed(QPoint position);
    void mouseMoved(QPoint position);
    void mouseReleased(QPoint position);
    // Ctrl and the wheel: `steps` notches (positive away from the user) at
    // the given point of the widget.
    void zoomWheeled(int steps, QPointF at);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void applySize();
    void paintRubberBand(QPainter& painter) const;
    // The widget pixel that shows the middle of a model pixel.
    QPoint widgetPixel(QPoint modelPixel) const;

    // The part of the widget inside the scroll area's viewport.
    QRect shownRect() const;

    TQtSurface surface_;
    QSize modelSize_;
    double zoom_ = 1;
    TRubberBand band_ = TRubberBand::None;
    QPoint bandFrom_;
    QPoint bandTo_;
    // Wheel turns of less than a notch (fine-grained wheels and touch pads).
    int wheelRest_ = 0;
};

} // namespace kova
