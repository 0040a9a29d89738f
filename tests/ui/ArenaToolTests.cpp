#include "MainWindowTests.h"

#include "ui/ArenaView.h"
#include "ui/ObjectBrowser.h"
#include "ui/Tools.h"
#include "widgets/FloatEdit.h"
#include "widgets/ObjectTree.h"

#include <QComboBox>
#include <QToolButton>

using namespace kova;
using namespace kova::test;

namespace {

QToolButton* ToolButton(const TfrMain& window, const char* name) {
    return Control<QToolButton>(window.Tools(), name);
}

void SetDensity(const TfrMain& window, int density) {
    Control<TFloatEdit>(window.Tools(), "DensityEdit")->SetValue(density);
}

std::vector<Vector> BugPositions(const TBugGroup& group) {
    std::vector<Vector> positions;
    for (const auto& bug : group.Members)
        positions.push_back(bug->Position);
    return positions;
}

QColor PixelAt(const TfrMain& window, int x, int y) {
    return window.ArenaView().grab().toImage().pixelColor(x, y);
}

} // namespace

class TArenaToolTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;
    TBugGroup* group = nullptr;

    TSimulation& simulation() { return window->Simulation(); }

private slots:
    void init() {
        window = StartProgram();
        QVERIFY(window);
        AcceptNextPropertyEditor();
        MenuItem(*window, "GroupMI")->trigger();
        QCOMPARE(simulation().Groups.size(), std::size_t{1});
        group = simulation().Groups.front().get();
    }
    void cleanup() {
        window.reset();
        QVERIFY(NoAnswerLeftOver());
    }

    void bugBrushFillsTheDraggedCellsAndEstimatesTheCount_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::newRow("down and right") << QPoint(0, 0) << QPoint(12, 7);
        QTest::newRow("up and left") << QPoint(12, 7) << QPoint(0, 0);
    }
    void bugBrushFillsTheDraggedCellsAndEstimatesTheCount() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        SetDensity(*window, 100);
        QTest::mouseClick(ToolButton(*window, "BugCreationButton"), Qt::LeftButton);
        QVERIFY(simulation().BugCreationMode);
        QVERIFY(Control<QComboBox>(window->Tools(), "GroupComboBox")->isEnabled());

        QWidget* view = &window->ArenaView();
        Press(view, from);
        MoveWhilePressed(view, to);
        QCOMPARE(PanelText(*window, 1), QString("%1 : %2").arg(from.x()).arg(from.y()));
        QCOMPARE(PanelText(*window, 2), QString("%1 : %2").arg(to.x()).arg(to.y()));
        QCOMPARE(PanelText(*window, 3), QString("approx. 3 bugs will be created"));
        Release(view, to);

        const std::vector<Vector> expected = {{0, 0}, {0, 5}, {5, 0}, {5, 5}, {10, 0}, {10, 5}};
        QCOMPARE(BugPositions(*group), expected);
        QCOMPARE(PanelText(*window, 2), QString());
        QCOMPARE(PanelText(*window, 3), QString());
        const QAbstractItemModel& nodes = *window->ObjectBrowser().Tree().model();
        const QModelIndex groupNode = nodes.index(0, 0, nodes.index(0, 0));
        QCOMPARE(nodes.rowCount(groupNode), 6);
        QCOMPARE(nodes.index(5, 0, groupNode).data().toString(), QString("Member_5"));
    }

    void aBrushDragEndsAtTheArenasEdge_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("outside");
        QTest::addColumn<QPoint>("edge");
        QTest::newRow("out at the top left") << QPoint(12, 7) << QPoint(-30, -20) << QPoint(0, 0);
        QTest::newRow("out at the bottom right")
            << QPoint(388, 291) << QPoint(450, 340) << QPoint(400, 300);
    }
    // A drag that leaves the arena paints as far as the arena's edge and
    // places no bug outside it.
    void aBrushDragEndsAtTheArenasEdge() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, outside);
        QFETCH(QPoint, edge);
        SetDensity(*window, 100);
        QTest::mouseClick(ToolButton(*window, "BugCreationButton"), Qt::LeftButton);
        QWidget* view = &window->ArenaView();
        Drag(view, from, edge);
        const std::vector<Vector> toTheEdge = BugPositions(*group);
        QVERIFY(!toTheEdge.empty());

        Drag(view, from, outside);
        const std::vector<Vector> all = BugPositions(*group);
        const std::vector<Vector> leaving(all.begin() + toTheEdge.size(), all.end());
        QCOMPARE(leaving, toTheEdge);
        for (const Vector& position : all)
            QVERIFY2(position[0] >= 0 && position[0] <= simulation().Space.Width &&
                         position[1] >= 0 && position[1] <= simulation().Space.Height,
                     qPrintable(QString("bug at %1, %2")
                                    .arg(static_cast<double>(position[0]))
                                    .arg(static_cast<double>(position[1]))));
    }

    void densityZeroCreatesNothing() {
        SetDensity(*window, 0);
        QTest::mouseClick(ToolButton(*window, "BugCreationButton"), Qt::LeftButton);
        QWidget* view = &window->ArenaView();
        Press(view, QPoint(0, 0));
        MoveWhilePressed(view, QPoint(40, 30));
        QCOMPARE(PanelText(*window, 3), QString("approx. 0 bugs will be created"));
        Release(view, QPoint(40, 30));
        QVERIFY(group->Members.empty());
    }

    // A tiny diameter over a large area would walk millions of cells: the drag
    // is refused with an explanation, and nothing is created.
    void aBrushOfTooManyCellsIsRefused() {
        group->Template.DiameterVariantValue.BaseValue = 0.01L;
        SetDensity(*window, 100);
        QTest::mouseClick(ToolButton(*window, "BugCreationButton"), Qt::LeftButton);
        QWidget* view = &window->ArenaView();
        const QColor background = PixelAt(*window, 20, 5);
        QString shown;
        AnswerNextMessageBox(QMessageBox::Ok, &shown);
        Press(view, QPoint(0, 0));
        MoveWhilePressed(view, QPoint(40, 30));
        Release(view, QPoint(40, 30));
        QVERIFY(NoAnswerLeftOver());
        QVERIFY2(shown.contains("paint 12007001 cells") && shown.contains("at most 1000000"),
                 qPrintable(shown));
        QVERIFY(group->Members.empty());
        // The rubber band is gone.
        QCOMPARE(PixelAt(*window, 20, 0), background);

        // The same drag with a diameter of 1 paints 41 x 31 cells.
        group->Template.DiameterVariantValue.BaseValue = 1;
        Drag(view, QPoint(0, 0), QPoint(40, 30));
        QCOMPARE(group->Members.size(), std::size_t{41 * 31});
    }

    void aClickPlacesOneBugThatIsDrawnInTheGroupColour() {
        SetDensity(*window, 0);
        group->SetColor(0x00FF00); // green
        QTest::mouseClick(ToolButton(*window, "BugCreationButton"), Qt::LeftButton);
        Click(&window->ArenaView(), QPoint(100, 50));
        QCOMPARE(BugPositions(*group), (std::vector<Vector>{{100, 50}}));
        // A bug of diameter 5 at (100, 50) fills (97, 47) - (102, 52).
        QCOMPARE(PixelAt(*window, 100, 50), QColor(0, 255, 0));
        QCOMPARE(PixelAt(*window, 150, 150), ArenaColor(simulation()));
        QCOMPARE(PixelAt(*window, 96, 50), ArenaColor(simulation()));
    }

    void theRubberBandInvertsAndIsGoneAfterwards() {
        QTest::mouseClick(ToolButton(*window, "BugCreationButton"), Qt::LeftButton);
        SetDensity(*window, 0);
        QWidget* view = &window->ArenaView();
        const QColor arena = ArenaColor(simulation());
        const QColor inverted(255 - arena.red(), 255 - arena.green(), 255 - arena.blue());
        Press(view, QPoint(10, 10));
        MoveWhilePressed(view, QPoint(60, 40));
        QCOMPARE(PixelAt(*window, 30, 20), inverted);
        // Shrinking the band restores what it no longer covers.
        MoveWhilePressed(view, QPoint(20, 15));
        QCOMPARE(PixelAt(*window, 30, 20), arena);
        QCOMPARE(PixelAt(*window, 15, 12), inverted);
        Release(view, QPoint(20, 15));
        QCOMPARE(PixelAt(*window, 15, 12), arena);
    }

    void lineAndEllipseToolsAddObstacles() {
        QTest::mouseClick(ToolButton(*window, "ObstacleLineButton"), Qt::LeftButton);
        QVERIFY(simulation().LineMode);
        QCOMPARE(window->ArenaView().cursor().shape(), Qt::CrossCursor);
        Drag(&window->ArenaView(), QPoint(10, 20), QPoint(50, 20));
        QCOMPARE(simulation().Obstacles.size(), std::size_t{1});
        const TObstacle& line = *simulation().Obstacles[0];
        QCOMPARE(QString::fromStdString(line.Name), QString("Obstacle_0_Line"));
        QCOMPARE(line.P1, Vector(10, 20));
        QCOMPARE(line.P2, Vector(50, 20));

        QTest::mouseClick(ToolButton(*window, "ObstacleEllipseButton"), Qt::LeftButton);
        QVERIFY(!ToolButton(*window, "ObstacleLineButton")->isChecked());
        QVERIFY(simulation().EllipseMode && !simulation().LineMode);
        Drag(&window->ArenaView(), QPoint(100, 100), QPoint(130, 90));
        QCOMPARE(simulation().Obstacles.size(), std::size_t{2});
        const TObstacle& circle = *simulation().Obstacles[1];
        QCOMPARE(QString::fromStdString(circle.Name), QString("Obstacle_1_Circle"));
        QCOMPARE(circle.P1, Vector(100, 100));
        QCOMPARE(circle.P2, Vector(130, 70));
        QVERIFY(group->Members.empty());

        // The outline of the line is drawn in black over the arena.
        QCOMPARE(PixelAt(*window, 30, 20), QColor(Qt::black));
    }

    void withoutAToolNothingHappens() {
        QToolButton* line = ToolButton(*window, "ObstacleLineButton");
        QTest::mouseClick(line, Qt::LeftButton);
        QTest::mouseClick(line, Qt::LeftButton);
        QVERIFY(!line->isChecked());
        Drag(&window->ArenaView(), QPoint(10, 20), QPoint(50, 20));
        QVERIFY(simulation().Obstacles.empty());
        QCOMPARE(PanelText(*window, 2), QString());
    }

    void theBugToolNeedsAGroup() {
        TBugGroup& only = *group;
        simulation().RemoveGroup(only);
        QToolButton* bug = ToolButton(*window, "BugCreationButton");
        QTest::mouseClick(bug, Qt::LeftButton);
        QVERIFY(!bug->isChecked());
        QVERIFY(!simulation().BugCreationMode);
    }

    void toolsAreSwitchedOffByARunAndPauseAndRewindIt() {
        QTest::mouseClick(ToolButton(*window, "BugCreationButton"), Qt::LeftButton);
        Click(&window->ArenaView(), QPoint(100, 50));
        MenuItem(*window, "RunMI")->trigger();
        QVERIFY(simulation().Running);
        QVERIFY(!ToolButton(*window, "BugCreationButton")->isChecked());
        QTRY_VERIFY(!simulation().IsAtStart());

        // Presses are ignored while running.
        Click(&window->ArenaView(), QPoint(200, 50));
        QCOMPARE(group->Members.size(), std::size_t{1});

        QTest::mouseClick(ToolButton(*window, "ObstacleLineButton"), Qt::LeftButton);
        QVERIFY(!simulation().Running);
        QVERIFY(simulation().IsAtStart());
        QCOMPARE(group->Members.front()->Position, Vector(100, 50));
    }
};

int RunArenaToolTests(int argc, char** argv) {
    TArenaToolTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "ArenaToolTests.moc"
