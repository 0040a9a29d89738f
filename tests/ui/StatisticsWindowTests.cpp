// The Statistics window: opened from the Window menu, one line per group in
// the group's colour with a point per frame run while it is shown, the
// statistic chosen in its combo box, cleared when the clock goes back, and its
// chart and samples saved to files.

#include "MainWindowTests.h"

#include "analysis/GroupStatistics.h"
#include "analysis/StatisticsCsv.h"
#include "render/QtCanvas.h"
#include "ui/AnimationController.h"
#include "ui/StatisticsWindow.h"
#include "widgets/ColorButton.h"
#include "widgets/SpinEdit.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QValueAxis>

#include <cstdlib>
#include <sstream>

using namespace kova;
using namespace kova::test;

namespace {

constexpr TColor kGreen = 0x00A000;

// The number of pixels inside `area` within a small distance of the colour
// (the lines are drawn smoothed, so their edges are mixed with the ground).
int pixelsOfColour(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) <= 40 &&
                std::abs(pixel.green() - colour.green()) <= 40 &&
                std::abs(pixel.blue() - colour.blue()) <= 40)
                ++count;
        }
    return count;
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {"<cannot read " + path + ">"};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TStatisticsWindowTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfrMain> window;
    TBugGroup* prey = nullptr;
    TBugGroup* hunters = nullptr;

    TSimulation& simulation() { return window->Simulation(); }
    TfrStatistics& statistics() { return window->Statistics(); }
    QChartView* chartView() { return Control<QChartView>(statistics(), "StatisticsChart"); }
    QLineSeries* lineOf(const TBugGroup& group) {
        for (QAbstractSeries* series : chartView()->chart()->series())
            if (series->name() == QString::fromStdString(group.Name))
                return qobject_cast<QLineSeries*>(series);
        return nullptr;
    }
    int lineCount() { return static_cast<int>(chartView()->chart()->series().size()); }
    int framesRun() {
        return static_cast<int>(simulation().CurrentSecond * simulation().FPS +
                                simulation().CurrentFrame);
    }

    void openStatistics() {
        MenuItem(*window, "StatisticsMI")->trigger();
        QVERIFY(statistics().isVisible());
    }
    // Frames stepped as the timer steps them, without waiting for it.
    void stepFrames(int frames) {
        for (int i = 0; i < frames; ++i)
            simulation().StepFrame();
    }
    // Runs with the play button, without delay, until `seconds` have passed
    // on the clock, then pauses with the pause button.
    void playFor(std::uint32_t seconds) {
        TfrAnimationController& controller = window->AnimationController();
        auto* delay = Control<TSpinEdit>(controller, "DelayEdit");
        delay->stepBy(-delay->value());
        QTest::mouseClick(Control<QPushButton>(controller, "PlayButton"), Qt::LeftButton);
        QTRY_VERIFY(simulation().CurrentSecond >= seconds);
        QTest::mouseClick(Control<QPushButton>(controller, "PauseButton"), Qt::LeftButton);
        QVERIFY(!simulation().Running);
    }
    // The statistic's item of the combo box, reached with the arrow keys.
    void chooseStatistic(int statistic, const QString& label) {
        auto* choice = Control<QComboBox>(statistics(), "StatisticComboBox");
        choice->setFocus();
        QTest::keyClick(choice, Qt::Key_Home);
        for (int i = 0; i < statistic; ++i)
            QTest::keyClick(choice, Qt::Key_Down);
        QCOMPARE(choice->currentText(), label);
    }
    // Clicks the button and saves through the file dialog it opens.
    void saveThrough(const char* button, const QString& path, QString* suffix = nullptr) {
        AnswerNextModal(
            [](QWidget& modal) { return qobject_cast<QFileDialog*>(&modal) != nullptr; },
            [path, suffix](QWidget& modal) {
                auto& files = static_cast<QFileDialog&>(modal);
                if (suffix != nullptr)
                    *suffix = files.defaultSuffix();
                files.findChild<QLineEdit*>("fileNameEdit")->setText(path);
                static_cast<QDialog&>(files).accept();
            });
        QTest::mouseClick(Control<QPushButton>(statistics(), button), Qt::LeftButton);
    }

private slots:
    // Two groups that move: "Group_0" in the default red and "Hunters", named
    // and coloured green in the property editor.
    void init() {
        window = StartProgram();
        QVERIFY(window);
        prey = NewGroupAccepted(simulation());
        AcceptNextPropertyEditor([](QWidget& form) {
            TypeInto(form, "GroupNameEdit", "Hunters");
            Control<TColorButton>(form, "ColorButton")->SetColor(kGreen);
        });
        hunters = simulation().NewGroup();
        QVERIFY(prey != nullptr && hunters != nullptr);
        for (int i = 0; i < 6; ++i)
            simulation().CreateBug(*prey, Vector(60 + 25 * i, 80 + 15 * (i % 3)));
        for (int i = 0; i < 3; ++i)
            simulation().CreateBug(*hunters, Vector(300, 60 + 70 * i));
    }
    void cleanup() {
        window.reset();
        QVERIFY(NoAnswerLeftOver());
    }

    void opensFromTheWindowMenuOnly() {
        QAction* item = MenuItem(*window, "StatisticsMI");
        QVERIFY(item->isCheckable());
        QVERIFY(!item->isChecked());
        QVERIFY(!statistics().isVisible());

        openStatistics();
        QVERIFY(item->isChecked());
        QCOMPARE(statistics().windowTitle(), QString("Statistics"));

        statistics().close();
        QVERIFY(!statistics().isVisible());
        QVERIFY(!item->isChecked());
    }

    void aRunDrawsOneLinePerGroupInItsColour() {
        openStatistics();
        playFor(2);
        const int frames = framesRun();
        QCOMPARE(lineCount(), 2);
        // Both groups head the same way; their centres lie apart.
        chooseStatistic(8, "Centre x");

        QChart* chart = chartView()->chart();
        const QImage picture = chartView()->grab().toImage();
        const QRect plot =
            chartView()->mapFromScene(chart->mapToScene(chart->plotArea())).boundingRect();
        for (const TBugGroup* group : {prey, hunters}) {
            QLineSeries* line = lineOf(*group);
            QVERIFY2(line != nullptr, group->Name.c_str());
            QCOMPARE(line->color(), ToQColor(group->Color));
            QCOMPARE(line->count(), frames);
            // The last sample was taken at the start of the last frame.
            QCOMPARE(line->at(frames - 1).x(), (frames - 1.0) / simulation().FPS);
            QVERIFY2(pixelsOfColour(picture, plot, line->color()) >= 10, group->Name.c_str());
        }
    }

    // A group added, edited or removed takes its line with it.
    void theLinesFollowTheGroups() {
        openStatistics();
        AcceptNextPropertyEditor([](QWidget& form) {
            TypeInto(form, "GroupNameEdit", "Scouts");
            Control<TColorButton>(form, "ColorButton")->SetColor(0xC00000);
        });
        // The group has members: they keep their own values.
        AnswerNextMessageBox(QMessageBox::No);
        QVERIFY(simulation().EditGroup(*prey));
        QCOMPARE(lineCount(), 2);
        QVERIFY(lineOf(*prey) != nullptr);
        QCOMPARE(lineOf(*prey)->color(), QColor(0, 0, 0xC0));

        TBugGroup* third = NewGroupAccepted(simulation());
        QCOMPARE(lineCount(), 3);
        QCOMPARE(lineOf(*third)->color(), ToQColor(third->Color));

        simulation().RemoveGroup(*hunters);
        QCOMPARE(lineCount(), 2);
        QVERIFY(lineOf(*prey) != nullptr && lineOf(*third) != nullptr);
    }

    void choosingAStatisticShowsItsValues_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("statistic");
        QTest::newRow("members") << "Members" << 0;
        QTest::newRow("mean speed") << "Mean speed" << 1;
        QTest::newRow("milling") << "Milling" << 5;
        QTest::newRow("nearest neighbour") << "Mean nearest neighbour distance" << 6;
        QTest::newRow("centre x") << "Centre x" << 8;
        QTest::newRow("radius of gyration") << "Radius of gyration" << 10;
    }
    // The last point of each line is the statistic of the group as it stands
    // now, after the last frame; every point stays when the choice changes.
    void choosingAStatisticShowsItsValues() {
        QFETCH(QString, label);
        QFETCH(int, statistic);
        openStatistics();
        QCOMPARE(Control<QComboBox>(statistics(), "StatisticComboBox")->currentText(),
                 QString("Polarisation"));
        playFor(1);
        const int frames = framesRun();

        chooseStatistic(statistic, label);
        auto* axis = qobject_cast<QValueAxis*>(chartView()->chart()->axes(Qt::Vertical).value(0));
        QVERIFY(axis != nullptr);
        QCOMPARE(axis->titleText(), label);
        for (const TBugGroup* group : {prey, hunters}) {
            const std::vector<double> now = GroupStatisticValues(TGroupMeter().Measure(*group));
            QLineSeries* line = lineOf(*group);
            QCOMPARE(line->count(), frames);
            QCOMPARE(line->at(frames - 1).y(), now[static_cast<std::size_t>(statistic)]);
            // None of these goes below zero, and neither does the axis.
            QVERIFY(axis->min() >= 0);
            QVERIFY(axis->min() <= line->at(frames - 1).y());
            QVERIFY(axis->max() >= line->at(frames - 1).y());
        }
    }

    void theLinesStartAgainWhenTheClockGoesBack_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("rewind button") << "RewindButton";
        QTest::newRow("Simulation > Rewind") << "RewindMI";
        QTest::newRow("loop point") << "loop";
        QTest::newRow("Edit > Undo") << "UndoMI";
    }
    void theLinesStartAgainWhenTheClockGoesBack() {
        QFETCH(QString, how);
        openStatistics();
        if (how == "loop") {
            // Back to 0:0 after the frame 0:4; three frames follow.
            simulation().SetLoop(true);
            simulation().SetLoopSecond(0);
            simulation().SetLoopFrame(5);
            stepFrames(8);
            QTRY_COMPARE(lineOf(*prey)->count(), 3);
            QCOMPARE(lineOf(*prey)->at(0).x(), 0.0);
            QCOMPARE(statistics().History().SampleCount(), std::size_t{3});
            return;
        }
        stepFrames(8);
        QTRY_COMPARE(lineOf(*prey)->count(), 8);
        if (how == "RewindButton") {
            QTest::mouseClick(Control<QPushButton>(window->AnimationController(), "RewindButton"),
                              Qt::LeftButton);
        } else if (how == "RewindMI") {
            MenuItem(*window, "RewindMI")->trigger();
        } else {
            // A new group is the step undone; the groups that stay are new
            // objects, loaded from the history.
            AcceptNextPropertyEditor();
            MenuItem(*window, "GroupMI")->trigger();
            QCOMPARE(lineCount(), 3);
            MenuItem(*window, "UndoMI")->trigger();
            QCOMPARE(simulation().Groups.size(), std::size_t{2});
            prey = simulation().Groups[0].get();
            hunters = simulation().Groups[1].get();
        }
        QCOMPARE(lineCount(), 2);
        QCOMPARE(lineOf(*prey)->count(), 0);
        QCOMPARE(lineOf(*hunters)->count(), 0);
        QCOMPARE(statistics().History().SampleCount(), std::size_t{0});

        stepFrames(2);
        QTRY_COMPARE(lineOf(*hunters)->count(), 2);
    }

    void aHiddenWindowRecordsNothing() {
        stepFrames(5);
        openStatistics();
        QCOMPARE(lineOf(*prey)->count(), 0);
        QCOMPARE(statistics().History().SampleCount(), std::size_t{0});

        stepFrames(2);
        QTRY_COMPARE(lineOf(*prey)->count(), 2);
        statistics().close();
        stepFrames(3);
        QCOMPARE(statistics().History().SampleCount(), std::size_t{2});
    }

    // One row per group and sample, in the format of kova-cli run --stats.
    void saveDataWritesEverySampleKept() {
        openStatistics();
        stepFrames(4);
        QTemporaryDir folder;
        const QString path = folder.filePath("samples.csv");
        QString suffix;
        saveThrough("SaveDataButton", path, &suffix);
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(suffix, QString("csv"));

        const QStringList rows = fileLines(path);
        QCOMPARE(rows.value(0),
                 QString("second,frame,group,members,mean_speed,min_speed,max_speed,"
                         "polarisation,milling,mean_nearest_neighbour_distance,clusters,"
                         "centre_x,centre_y,radius_of_gyration"));
        QCOMPARE(rows.size(), 1 + 4 * 2);
        for (int frame = 0; frame < 4; ++frame) {
            QVERIFY(rows[1 + 2 * frame].startsWith(QString("0,%1,Group_0,").arg(frame)));
            QVERIFY(rows[2 + 2 * frame].startsWith(QString("0,%1,Hunters,").arg(frame)));
        }
        std::ostringstream last;
        WriteStatisticsRow(last, 0, 3, "Hunters", GroupStatisticValues(MeasureGroup(*hunters)));
        QCOMPARE(rows.last() + "\n", QString::fromStdString(last.str()));
    }

    void savePictureWritesTheChartAsPng() {
        openStatistics();
        stepFrames(3);
        QTemporaryDir folder;
        const QString path = folder.filePath("chart.png");
        QString suffix;
        saveThrough("SavePictureButton", path, &suffix);
        QVERIFY(NoAnswerLeftOver());
        QCOMPARE(suffix, QString("png"));
        const QImage picture(path);
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), chartView()->size());
        QCOMPARE(picture, chartView()->grab().toImage().convertToFormat(picture.format()));
    }

    void aFileThatCannotBeWrittenIsReported_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("data") << "SaveDataButton";
        QTest::newRow("picture") << "SavePictureButton";
    }
    void aFileThatCannotBeWrittenIsReported() {
        QFETCH(QString, button);
        openStatistics();
        QTemporaryDir folder;
        const QString path = folder.filePath("missing/samples.out");
        QString message;
        AnswerNextMessageBox(QMessageBox::Ok, &message);
        saveThrough(button.toLatin1().constData(), path);
        QVERIFY(NoAnswerLeftOver());
        QVERIFY2(message.startsWith("Cannot write"), qPrintable(message));
        QVERIFY(!QFile::exists(path));
    }
};

int RunStatisticsWindowTests(int argc, char** argv) {
    TStatisticsWindowTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "StatisticsWindowTests.moc"
