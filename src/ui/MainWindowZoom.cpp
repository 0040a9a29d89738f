// The View menu: zooming the arena view inside its scroll area. The view
// then moves its picture to the part of the arena that shows, and the arena
// is drawn there anew.
#include "ui/MainWindow.h"

#include "ui/ArenaView.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

// Zoom levels are whole and half powers of two, from 1/16 to 16:
// ... 50 %, 71 %, 100 %, 141 %, 200 % ...
constexpr int kHalfPowers = 8;

double levelZoom(int level) {
    return std::pow(2.0, level / 2.0);
}

// The next level above (direction +1) or below (-1) the zoom; a zoom between
// two levels (after Fit Arena) goes to the neighbouring one.
double nextZoom(double zoom, int direction) {
    constexpr double kSame = 1e-9;
    if (direction > 0) {
        for (int level = -kHalfPowers; level <= kHalfPowers; ++level)
            if (levelZoom(level) > zoom * (1 + kSame))
                return levelZoom(level);
        return levelZoom(kHalfPowers);
    }
    for (int level = kHalfPowers; level >= -kHalfPowers; --level)
        if (levelZoom(level) < zoom * (1 - kSame))
            return levelZoom(level);
    return levelZoom(-kHalfPowers);
}

} // namespace

void TfrMain::createViewMenu() {
    QMenu* view = menuBar()->addMenu("&View");
    auto addItem = [this, view](const char* name, const QString& caption, auto handler) {
        QAction* item = view->addAction(caption);
        item->setObjectName(name);
        connect(item, &QAction::triggered, this, handler);
        return item;
    };
    zoomInItem_ = addItem("ZoomInMI", "Zoom In", [this] { ZoomIn(); });
    // Ctrl+= is Ctrl++ without Shift on most keyboards.
    zoomInItem_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence("Ctrl+=")});
    zoomOutItem_ = addItem("ZoomOutMI", "Zoom Out", [this] { ZoomOut(); });
    zoomOutItem_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    view->addSeparator();
    addItem("FitArenaMI", "Fit Arena", [this] { FitArena(); });
    addItem("ActualSizeMI", "Actual Size", [this] {
        ActualSize();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    showZoom();
}

void TfrMain::ZoomIn() {
    zoomSteps(1, viewportMiddle());
}

void TfrMain::ZoomOut() {
    zoomSteps(-1, viewportMiddle());
}

void TfrMain::ActualSize() {
    zoomAround(1, viewportMiddle());
}

void TfrMain::FitArena() {
    const QSize arena = arenaView_->ModelSize();
    if (arena.isEmpty())
        return;
    // The viewport without scroll bars, which the fitted arena no longer
    // needs.
    const QSize room = scrollArea_->maximumViewportSize();
    const double zoom = std::min(static_cast<double>(room.width()) / arena.width(),
                                 static_cast<double>(room.height()) / arena.height());
    arenaView_->SetZoom(zoom);
    scrollArea_->horizontalScrollBar()->setValue(0);
    scrollArea_->verticalScrollBar()->setValue(0);
    showZoom();
}

void TfrMain::zoomSteps(int steps, QPointF anchor) {
    double zoom = arenaView_->Zoom();
    for (int step = 0; step < std::abs(steps); ++step)
        zoom = nextZoom(zoom, steps > 0 ? 1 : -1);
    zoomAround(zoom, anchor);
}

QPointF TfrMain::viewportMiddle() const {
    return QRectF(scrollArea_->viewport()->rect()).center();
}

void TfrMain::zoomAround(double zoom, QPointF anchor) {
    QWidget* viewport = scrollArea_->viewport();
    const QPointF model = arenaView_->ToModelF(arenaView_->mapFrom(viewport, anchor));
    arenaView_->SetZoom(zoom);
    // The scroll area has taken the view's new size at once, but shows or
    // hides its scroll bars later, and their ranges are those of the old
    // viewport until then: let it settle first, or the new scroll positions
    // would be cut to the old ranges.
    for (int settle = 0; settle < 2; ++settle)
        QCoreApplication::sendPostedEvents(scrollArea_, QEvent::MetaCall);
    // Scrolled by s, the view's point p shows at p - s in the viewport.
    const QPointF shown = arenaView_->ToWidget(model);
    scrollArea_->horizontalScrollBar()->setValue(
        static_cast<int>(std::lround(shown.x() - anchor.x())));
    scrollArea_->verticalScrollBar()->setValue(
        static_cast<int>(std::lround(shown.y() - anchor.y())));
    showZoom();
}

void TfrMain::showZoom() {
    const double zoom = arenaView_->Zoom();
    zoomPanel_->setText(QString("%1 %").arg(std::lround(zoom * 100)));
    zoomInItem_->setEnabled(zoom < TArenaView::kLargestZoom);
    zoomOutItem_->setEnabled(zoom > TArenaView::kSmallestZoom);
}

} // namespace kova
