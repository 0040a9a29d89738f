#include "MainWindowTests.h"

#include "render/ArenaRenderer.h"
#include "render/RenderRun.h"
#include "simulation/SimulationFile.h"
#include "ui/AnimationController.h"
#include "ui/ArenaView.h"

#include <QCheckBox>
#include <QDir>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

using namespace kova;
using namespace kova::test;

namespace {

QString examplePath(const QString& name) {
    return QString(KOVA_SIMULATIONS_DIR) + "/" + name;
}

// The number of pixels in which two pictures of one size differ.
int differingPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}

} // namespace

class TRenderTests : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(NoAnswerLeftOver()); }

    void aFrameIsTheArenaViewsPictureOfTheSameFrame_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<bool>("trails");
        QTest::newRow("100 %") << "obstacle-course.kvz" << 0 << 1.0 << false;
        QTest::newRow("50 %") << "obstacle-course.kvz" << -2 << 0.5 << false;
        QTest::newRow("71 %") << "predator-prey.kvz" << -1 << std::sqrt(0.5) << false;
        QTest::newRow("141 %") << "obstacle-course.kvz" << 1 << std::sqrt(2.0) << false;
        QTest::newRow("200 %") << "predator-prey.kvz" << 2 << 2.0 << false;
        QTest::newRow("trails at 100 %") << "flock.kvz" << 0 << 1.0 << true;
        QTest::newRow("trails at 50 %") << "flock.kvz" << -2 << 0.5 << true;
    }
    // The desktop program runs a file for some frames at a zoom, and the
    // renderer runs the same file as far at that scale: its frame is the
    // arena view's picture, pixel for pixel.
    void aFrameIsTheArenaViewsPictureOfTheSameFrame() {
        QFETCH(QString, file);
        QFETCH(int, zoomSteps);
        QFETCH(double, zoom);
        QFETCH(bool, trails);
        constexpr int kFrames = 12;

        const auto window = StartProgram();
        QVERIFY(window);
        QVERIFY(window->OpenFile(examplePath(file)));
        window->resize(1100, 900);
        for (int step = 0; step < std::abs(zoomSteps); ++step)
            MenuItem(*window, zoomSteps > 0 ? "ZoomInMI" : "ZoomOutMI")->trigger();
        TArenaView& view = window->ArenaView();
        QCOMPARE(view.Zoom(), zoom);
        auto* scrollBox = Control<QScrollArea>(*window, "ArenaScrollBox");
        scrollBox->horizontalScrollBar()->setValue(0);
        scrollBox->verticalScrollBar()->setValue(0);
        QApplication::processEvents();
        // The whole arena shows, so that the view's picture holds all of it.
        QVERIFY(QRect(QPoint(0, 0), scrollBox->viewport()->size()).contains(view.geometry()));
        if (trails)
            ClickCheckBox(Control<QCheckBox>(window->AnimationController(), "TrailsCheckBox"));

        TSimulation& shown = window->Simulation();
        shown.BeginRun();
        for (int frame = 0; frame < kFrames; ++frame)
            shown.StepFrame();
        shown.Pause();
        const QImage viewPicture = view.grab().toImage().convertToFormat(QImage::Format_RGB32);

        TSimulation rendered;
        OpenSimulationFile(rendered, examplePath(file).toStdString());
        TFrameOptions options;
        options.Scale = zoom;
        options.Trails = trails;
        TArenaRenderer renderer(rendered, options);
        for (int frame = 0; frame < kFrames; ++frame)
            renderer.Step();
        const QImage frame = renderer.Frame();

        QCOMPARE(frame.size(), viewPicture.size());
        QCOMPARE(differingPixels(frame, viewPicture), 0);
        // Something moved: the frame is not the picture before the run.
        TSimulation unstepped;
        OpenSimulationFile(unstepped, examplePath(file).toStdString());
        QVERIFY(differingPixels(TArenaRenderer(unstepped, options).Frame(), frame) > 0);
    }

    // A caller's progress callback stops a video after three frames: the
    // run ends there, and neither the video nor its partial file is left.
    void aStoppedVideoLeavesNoFile() {
        QTemporaryDir folder;
        TSimulation simulation;
        OpenSimulationFile(simulation, examplePath("flock.kvz").toStdString());
        TRenderOptions options;
        options.Frames = 50;
        options.Frame.Scale = 0.5;
        options.Video = folder.filePath("run.mp4").toStdString();
        std::uint64_t reported = 0;
        const TRenderResult result =
            RenderRun(simulation, options, [&reported](std::uint64_t done, std::uint64_t total) {
                reported = done;
                return done < 3 && total == 50;
            });
        QVERIFY(!result.Completed);
        QCOMPARE(result.Recorded, std::uint64_t{3});
        QCOMPARE(reported, std::uint64_t{3});
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

int RunRenderTests(int argc, char** argv) {
    TRenderTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "RenderTests.moc"
