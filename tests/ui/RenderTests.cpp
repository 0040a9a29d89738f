#include "MainWindowTests.h"

#include "render/ArenaRenderer.h"
#include "render/RenderRun.h"
#include "simulation/SimulationFile.h"
#include "ui/AnimationController.h"
#include "ui/ArenaView.h"
#include "ui/VideoExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
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

// What ffprobe reports of a video's first stream: "codec,width,height,frames".
QString probeVideo(const QString& path) {
    QProcess probe;
    probe.start("ffprobe",
                {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                 "stream=codec_name,width,height,nb_read_frames", "-of", "csv=p=0", path});
    probe.waitForFinished(60000);
    return QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
}

// Answers the next file dialog with this file name.
void AnswerNextFileDialog(const QString& path) {
    AnswerNextModal([](QWidget& modal) { return qobject_cast<QFileDialog*>(&modal) != nullptr; },
                    [path](QWidget& modal) {
                        modal.findChild<QLineEdit*>("fileNameEdit")->setText(path);
                        static_cast<QDialog&>(modal).accept();
                    });
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

    // File > Export Video... runs a copy from 0:0 through the span at the
    // chosen size; the window's simulation stays where it was.
    void exportVideoWritesTheSpanAndLeavesTheSimulationAlone() {
        QTemporaryDir folder;
        const QString path = folder.filePath("flock.mp4");
        const auto window = StartProgram();
        QVERIFY(window->OpenFile(examplePath("flock.kvz")));
        TSimulation& simulation = window->Simulation();
        simulation.BeginRun();
        for (int frame = 0; frame < 5; ++frame)
            simulation.StepFrame();
        simulation.Pause();
        const Vector position = simulation.Groups.front()->Members.front()->Position;
        const std::uint32_t frameShown = simulation.CurrentFrame;

        QString caption;
        ClickOnNextDialog("ExportButton", [&](QWidget& dialog) {
            caption = dialog.windowTitle();
            Control<QSpinBox>(dialog, "UntilSecondEdit")->setValue(1);
            Control<QSpinBox>(dialog, "UntilFrameEdit")->setValue(2);
            auto* sizes = Control<QComboBox>(dialog, "SizeComboBox");
            sizes->setCurrentIndex(sizes->findText("1280 x 720"));
            AnswerNextFileDialog(path);
        });
        MenuItem(*window, "ExportVideoMI")->trigger();

        QCOMPARE(caption, QString("Export Video"));
        QCOMPARE(probeVideo(path), QString("h264,1280,720,%1").arg(simulation.FPS + 2));
        QCOMPARE(simulation.CurrentFrame, frameShown);
        QVERIFY(simulation.Groups.front()->Members.front()->Position == position);
    }

    // Cancel in the progress window stops the video; nothing is left.
    void aCancelledVideoExportLeavesNoFile() {
        QTemporaryDir folder;
        const auto window = StartProgram();
        QVERIFY(window->OpenFile(examplePath("flock.kvz")));
        TfrVideoExport& dialog = window->VideoExportDialog();
        dialog.Prepare(window->FileName(), 1, false);
        dialog.SetProgressDelay(0);
        Control<QSpinBox>(dialog, "UntilSecondEdit")->setValue(600);
        AnswerNextModal(
            [](QWidget& modal) { return qobject_cast<QProgressDialog*>(&modal) != nullptr; },
            [](QWidget& modal) { static_cast<QProgressDialog&>(modal).cancel(); });
        QVERIFY(!dialog.ExportTo(folder.filePath("long.mp4")));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // File > Save Picture... saves what the window shows of the arena: all
    // of it at 100 %, the part in the window when zoomed in.
    void savePictureSavesTheShownArena() {
        QTemporaryDir folder;
        const auto window = StartProgram();
        QVERIFY(window->OpenFile(examplePath("predator-prey.kvz")));
        window->resize(1100, 900);
        QApplication::processEvents();
        TArenaView& view = window->ArenaView();
        auto* scrollBox = Control<QScrollArea>(*window, "ArenaScrollBox");

        const QString whole = folder.filePath("whole.png");
        AnswerNextFileDialog(whole);
        MenuItem(*window, "SavePictureMI")->trigger();
        const QImage expected = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(differingPixels(QImage(whole).convertToFormat(QImage::Format_RGB32), expected), 0);

        for (int step = 0; step < 4; ++step)
            MenuItem(*window, "ZoomInMI")->trigger();
        QApplication::processEvents();
        QVERIFY(view.width() > scrollBox->viewport()->width());
        const QString part = folder.filePath("part.png");
        AnswerNextFileDialog(part);
        MenuItem(*window, "SavePictureMI")->trigger();
        QCOMPARE(QImage(part).size(), scrollBox->viewport()->size().boundedTo(view.size()));
    }
};

int RunRenderTests(int argc, char** argv) {
    TRenderTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "RenderTests.moc"
