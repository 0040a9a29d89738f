#include "MainWindowTests.h"

#include "ui/ArenaView.h"
#include "ui/Tools.h"
#include "widgets/FloatEdit.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>

using namespace kova;
using namespace kova::test;

namespace {

// The view's pixel that shows the model pixel at this zoom.
QPoint Scaled(QPoint model, double zoom) {
    return QPoint(static_cast<int>(std::floor(model.x() * zoom)),
                  static_cast<int>(std::floor(model.y() * zoom)));
}

QScrollArea* ScrollBox(const TfrMain& window) {
    return Control<QScrollArea>(window, "ArenaScrollBox");
}

// Zoom In (positive) or Zoom Out (negative) from the View menu.
void ZoomBy(const TfrMain& window, int steps) {
    for (int step = 0; step < std::abs(steps); ++step)
        MenuItem(window, steps > 0 ? "ZoomInMI" : "ZoomOutMI")->trigger();
}

// The points the tools have placed: every bug's position, then both corners
// of every obstacle.
std::vector<Vector> PlacedPoints(const TSimulation& simulation) {
    std::vector<Vector> points;
    for (const auto& group : simulation.Groups)
        for (const auto& bug : group->Members)
            points.push_back(bug->Position);
    for (const auto& obstacle : simulation.Obstacles) {
        points.push_back(obstacle->P1);
        points.push_back(obstacle->P2);
    }
    return points;
}

// Scrolls the arena's top-left corner into the viewport, where zooming
// around the viewport's middle has moved it out.
void ScrollHome(const TfrMain& window) {
    ScrollBox(window)->horizontalScrollBar()->setValue(0);
    ScrollBox(window)->verticalScrollBar()->setValue(0);
}

// The colour of a model pixel in the picture the simulation draws into.
QColor PictureColor(TArenaView& view, QPoint model) {
    return view.Image().pixelColor(view.Surface().QtCanvas().ToImage(model));
}

QColor Inverse(QColor color) {
    return QColor(255 - color.red(), 255 - color.green(), 255 - color.blue());
}

} // namespace

class TZoomTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;

    TSimulation& simulation() { return window->Simulation(); }
    TArenaView& view() { return window->ArenaView(); }

    void chooseTool(const QString& tool) {
        const char* button = tool == "line"      ? "ObstacleLineButton"
                             : tool == "ellipse" ? "ObstacleEllipseButton"
                                                 : "BugCreationButton";
        QTest::mouseClick(Control<QToolButton>(window->Tools(), button), Qt::LeftButton);
    }

private slots:
    void init() {
        window = StartProgram();
        QVERIFY(window);
        NewGroupAccepted(simulation());
        Control<TFloatEdit>(window->Tools(), "DensityEdit")->SetValue(100);
    }
    void cleanup() {
        window.reset();
        QVERIFY(NoAnswerLeftOver());
    }

    void toolsActInModelPixelsAtAnyZoom_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        for (const auto& [name, steps, zoom] :
             {std::tuple{"50 %", -2, 0.5}, std::tuple{"200 %", 2, 2.0}}) {
            QTest::addRow("brush at %s", name)
                << "brush" << steps << zoom << QPoint(20, 10) << QPoint(50, 36);
            QTest::addRow("click at %s", name)
                << "brush" << steps << zoom << QPoint(120, 46) << QPoint(120, 46);
            QTest::addRow("line at %s", name)
                << "line" << steps << zoom << QPoint(10, 20) << QPoint(150, 80);
            QTest::addRow("ellipse at %s", name)
                << "ellipse" << steps << zoom << QPoint(100, 100) << QPoint(130, 90);
        }
    }
    // The same gesture, made at 100 % and then at another zoom over the same
    // model pixels, places the same objects; the status bar speaks in model
    // pixels throughout.
    void toolsActInModelPixelsAtAnyZoom() {
        QFETCH(QString, tool);
        QFETCH(int, zoomSteps);
        QFETCH(double, zoom);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        chooseTool(tool);
        Drag(&view(), from, to);
        const std::vector<Vector> atActualSize = PlacedPoints(simulation());
        QVERIFY(!atActualSize.empty());

        ZoomBy(*window, zoomSteps);
        QCOMPARE(view().Zoom(), zoom);
        QCOMPARE(view().size(), QSize(400, 300) * zoom);
        Hover(&view(), Scaled(from, zoom));
        QCOMPARE(PanelText(*window, 1), QString("%1 : %2").arg(from.x()).arg(from.y()));
        Press(&view(), Scaled(from, zoom));
        MoveWhilePressed(&view(), Scaled(to, zoom));
        if (from != to) {
            QCOMPARE(PanelText(*window, 1), QString("%1 : %2").arg(from.x()).arg(from.y()));
            QCOMPARE(PanelText(*window, 2), QString("%1 : %2").arg(to.x()).arg(to.y()));
        }
        Release(&view(), Scaled(to, zoom));
        const std::vector<Vector> all = PlacedPoints(simulation());
        QCOMPARE(all.size(), 2 * atActualSize.size());
        // The second gesture's bugs follow the first's, and so do its
        // obstacle's corners.
        const std::vector<Vector> again(all.begin() + atActualSize.size(), all.end());
        QCOMPARE(again, atActualSize);
    }

    // At 200 % a bug is drawn twice as large at twice its model position,
    // while the picture the simulation draws into stays at model pixels and
    // holds only the part of the arena that the viewport shows.
    void aBugIsShownScaled() {
        ZoomBy(*window, 2);
        ScrollHome(*window);
        simulation().Groups.front()->SetColor(0x00FF00); // green
        chooseTool("brush");
        Click(&view(), QPoint(200, 100));
        QCOMPARE(PlacedPoints(simulation()), (std::vector<Vector>{{100, 50}}));
        // The bug of diameter 5 at (100, 50) fills (97, 47) - (102, 52).
        const QImage shown = view().grab().toImage();
        const QColor arena = ArenaColor(simulation());
        QCOMPARE(shown.pixelColor(200, 100), QColor(0, 255, 0));
        QCOMPARE(shown.pixelColor(201, 101), QColor(0, 255, 0));
        QCOMPARE(shown.pixelColor(193, 101), arena);
        QCOMPARE(shown.pixelColor(100, 50), arena);
        const QSize viewport = ScrollBox(*window)->viewport()->size();
        QCOMPARE(view().Image().size(),
                 QSize((viewport.width() + 1) / 2, (viewport.height() + 1) / 2));
        QCOMPARE(PictureColor(view(), QPoint(100, 50)), QColor(0, 255, 0));
    }

    // Reduced to 25 %, a one-pixel line obstacle still shows along its whole
    // length: each screen pixel averages the four rows it covers.
    void aThinLineStaysVisibleWhenReduced() {
        chooseTool("line");
        Drag(&view(), QPoint(40, 40), QPoint(200, 40));
        ZoomBy(*window, -4);
        QCOMPARE(view().Zoom(), 0.25);
        const QImage shown = view().grab().toImage();
        const QColor arena = ArenaColor(simulation());
        for (int x = 11; x < 50; ++x)
            QVERIFY2(shown.pixelColor(x, 10) != arena, qPrintable(QString::number(x)));
        QCOMPARE(shown.pixelColor(30, 20), arena);
    }

    void theRubberBandShowsAtAnyZoom_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QPoint>("inside");
        QTest::newRow("brush at 200 %")
            << "brush" << 2 << QPoint(10, 10) << QPoint(60, 40) << QPoint(30, 20);
        QTest::newRow("line at 25 %")
            << "line" << -4 << QPoint(40, 40) << QPoint(200, 40) << QPoint(120, 40);
        QTest::newRow("line at 400 %")
            << "line" << 4 << QPoint(10, 20) << QPoint(60, 20) << QPoint(30, 20);
    }
    // The band is drawn over the scaled picture in screen pixels: a one-pixel
    // line stays whole however far the arena is reduced, and the picture
    // itself is left alone.
    void theRubberBandShowsAtAnyZoom() {
        QFETCH(QString, tool);
        QFETCH(int, zoomSteps);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QPoint, inside);
        Control<TFloatEdit>(window->Tools(), "DensityEdit")->SetValue(0);
        chooseTool(tool);
        ZoomBy(*window, zoomSteps);
        ScrollHome(*window);
        const double zoom = view().Zoom();
        // The middle of the model pixel's square.
        const QPoint probe = Scaled(inside, zoom) + QPoint(int(zoom) / 2, int(zoom) / 2);
        const QColor arena = ArenaColor(simulation());
        Press(&view(), Scaled(from, zoom));
        MoveWhilePressed(&view(), Scaled(to, zoom));
        QCOMPARE(view().grab().toImage().pixelColor(probe), Inverse(arena));
        QCOMPARE(PictureColor(view(), inside), arena);
        Release(&view(), Scaled(to, zoom));
        if (tool == "brush")
            QCOMPARE(view().grab().toImage().pixelColor(probe), arena);
    }

    void aLargeArenaIsDrawnWhereverItIsScrolledTo_data() {
        QTest::addColumn<int>("zoomSteps");
        QTest::newRow("100 %") << 0;
        QTest::newRow("200 %") << 2;
        QTest::newRow("25 %") << -4;
    }
    // The pictures hold only what the viewport shows, however large the
    // arena: scrolled far off, the view shows the bugs there, paused and
    // while running (drawn through the buffer).
    void aLargeArenaIsDrawnWhereverItIsScrolledTo() {
        QFETCH(int, zoomSteps);
        simulation().Space.Width = 4000;
        simulation().Space.Height = 3000;
        window->UpdateArena();
        TBugGroup& group = *simulation().Groups.front();
        group.SetColor(0x00FF00); // green
        TBug* bug = simulation().CreateBug(group, Vector(3600, 2700));
        simulation().Repaint();
        ZoomBy(*window, zoomSteps);
        const double zoom = view().Zoom();
        QScrollArea* box = ScrollBox(*window);
        const QSize viewport = box->viewport()->size();
        const auto showBug = [&] {
            const QPoint at = Scaled(
                QPoint(static_cast<int>(bug->Position[0]), static_cast<int>(bug->Position[1])),
                zoom);
            box->horizontalScrollBar()->setValue(at.x() - viewport.width() / 2);
            box->verticalScrollBar()->setValue(at.y() - viewport.height() / 2);
            return view().grab().toImage().pixelColor(at + QPoint(int(zoom) / 2, int(zoom) / 2));
        };
        QCOMPARE(showBug(), QColor(0, 255, 0));
        QVERIFY(view().Image().width() <= viewport.width() &&
                view().Image().height() <= viewport.height());

        QVERIFY(simulation().Doc.DoubleBuffered);
        const Vector start = bug->Position;
        MenuItem(*window, "RunMI")->trigger();
        QTRY_VERIFY(bug->Position != start);
        MenuItem(*window, "PauseMI")->trigger();
        QCOMPARE(showBug(), QColor(0, 255, 0));
    }

    void ctrlWheelZoomsAroundThePointer_data() {
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<bool>("snug");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<int>("wheel");
        QTest::addColumn<double>("zoom");
        QTest::newRow("one notch in") << 0 << false << QPoint(250, 150) << 120 << std::sqrt(2.0);
        QTest::newRow("two notches in") << 0 << false << QPoint(250, 150) << 240 << 2.0;
        QTest::newRow("one notch out")
            << 4 << false << QPoint(250, 150) << -120 << std::pow(2.0, 1.5);
        // The arena fits with a little room to spare; zoomed, it needs the
        // scroll bars, and the pointer's corner can be kept only with their
        // ranges as they are once the bars are shown.
        QTest::newRow("into the corner") << 0 << true << QPoint(398, 298) << 240 << 2.0;
    }
    void ctrlWheelZoomsAroundThePointer() {
        QFETCH(int, zoomSteps);
        QFETCH(bool, snug);
        QFETCH(QPoint, pointer);
        QFETCH(int, wheel);
        QFETCH(double, zoom);
        ZoomBy(*window, zoomSteps);
        QScrollArea* box = ScrollBox(*window);
        QWidget* viewport = box->viewport();
        if (snug) {
            const int room = box->style()->pixelMetric(QStyle::PM_ScrollBarExtent) / 2;
            window->resize(window->size() + QSize(400, 300) + QSize(room, room) - viewport->size());
            QCOMPARE(viewport->size(), QSize(400, 300) + QSize(room, room));
        }
        QVERIFY(viewport->rect().contains(pointer));
        const QPointF at = view().mapFrom(viewport, QPointF(pointer));
        const QPointF model = view().ToModelF(at);
        QWheelEvent event(at, view().mapToGlobal(at), QPoint(), QPoint(0, wheel), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view(), &event);
        QVERIFY(event.isAccepted());
        QCOMPARE(view().Zoom(), zoom);
        const QPointF shownAt = view().mapTo(viewport, view().ToWidget(model));
        QVERIFY2((shownAt - QPointF(pointer)).manhattanLength() <= 1,
                 qPrintable(QString("%1, %2").arg(shownAt.x()).arg(shownAt.y())));
    }

    void fitArenaShowsAllOfIt_data() {
        QTest::addColumn<QSize>("windowSize");
        QTest::addColumn<bool>("enlarged");
        QTest::newRow("large window") << QSize(900, 700) << true;
        QTest::newRow("small window") << QSize(320, 260) << false;
    }
    // The window can be resized; its arena fills it, and Fit Arena shows the
    // whole arena as large as the window allows, without scroll bars.
    void fitArenaShowsAllOfIt() {
        QFETCH(QSize, windowSize);
        QFETCH(bool, enlarged);
        QScrollArea* box = ScrollBox(*window);
        window->resize(windowSize);
        QCOMPARE(window->size(), windowSize);
        QCOMPARE(box->geometry(), window->centralWidget()->geometry());
        QCOMPARE(box->width(), windowSize.width());

        MenuItem(*window, "FitArenaMI")->trigger();
        QCOMPARE(view().Zoom() > 1, enlarged);
        const QSize room = box->viewport()->size();
        QVERIFY(view().width() <= room.width() && view().height() <= room.height());
        QVERIFY(view().width() == room.width() || view().height() == room.height());
        QCOMPARE(box->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(box->verticalScrollBar()->maximum(), 0);
        QCOMPARE(view().geometry().topLeft(), QPoint(0, 0));
    }

    void viewMenuShortcuts_data() {
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<int>("key");
        QTest::addColumn<double>("zoom");
        QTest::newRow("Ctrl++") << 0 << int(Qt::Key_Plus) << std::sqrt(2.0);
        QTest::newRow("Ctrl+=") << 0 << int(Qt::Key_Equal) << std::sqrt(2.0);
        QTest::newRow("Ctrl+-") << 0 << int(Qt::Key_Minus) << std::sqrt(0.5);
        QTest::newRow("Ctrl+0") << 2 << int(Qt::Key_0) << 1.0;
    }
    void viewMenuShortcuts() {
        QFETCH(int, zoomSteps);
        QFETCH(int, key);
        QFETCH(double, zoom);
        ZoomBy(*window, zoomSteps);
        QVERIFY(Activate(*window));
        QTest::keyClick(window.get(), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(view().Zoom(), zoom);
        QCOMPARE(Control<QLabel>(*window, "ZoomPanel")->text(),
                 QString("%1 %").arg(std::lround(zoom * 100)));
    }
};

int RunZoomTests(int argc, char** argv) {
    TZoomTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "ZoomTests.moc"
