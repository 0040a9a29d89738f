#pragma once

#include "ui/QtCanvas.h"

#include <QWidget>

namespace kova {

// The arena's paint surface. Qt lets a widget be painted only inside its
// paint event, while the core clears and draws whenever it likes; so the core
// draws into a persistent picture (the view's canvas) and the paint event only
// shows that picture. Figures that are not cleared therefore stay, which is
// how trails build up.
class TArenaView : public QWidget {
    Q_OBJECT
public:
    explicit TArenaView(QWidget* parent = nullptr);

    // The surface the drawing document paints on; its size is the widget's.
    TQtSurface& Surface() { return surface_; }
    const QImage& Image() const { return surface_.Image(); }

signals:
    void mousePressed(QPoint position);
    void mouseMoved(QPoint position);
    void mouseReleased(QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TQtSurface surface_;
};

} // namespace kova
