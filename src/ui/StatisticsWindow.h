#pragma once

#include "analysis/StatisticsHistory.h"
#include "ui/StatisticsSampler.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QChart;
class QChartView;
class QComboBox;
class QLineSeries;
class QPushButton;
class QValueAxis;

namespace kova {

class TBugGroup;
class TFrameTimer;
class TSimulation;

// The Statistics window: a live line chart of one statistic of every group
// (chosen in a combo box) over the simulated time, one line per group in the
// group's colour, the time axis showing the last kShownSeconds and following
// the run. It can save the chart as a picture and every sample kept as CSV.
//
// Each frame, once the bugs have stepped, every group is measured and the
// sample kept (all statistics, so that another choice shows the history
// too); only while the window is shown: hidden, it costs nothing. The frame
// only copies the members; they are measured on a thread of their own
// (TStatisticsSampler). The lines are brought up to date on a coarse timer,
// not every frame, and at once, with every sample taken, when a run pauses.
class TfrStatistics : public QWidget {
    Q_OBJECT
public:
    static constexpr double kShownSeconds = 30;
    static constexpr int kRefreshInterval = 200;

    TfrStatistics(TSimulation& simulation, TFrameTimer& frames, QWidget* parent = nullptr);
    ~TfrStatistics() override;

    // The groups of the simulation, as the tools window hears of them.
    void AddGroup(TBugGroup& group);
    void UpdateGroup(TBugGroup& group);
    void DeleteGroup(TBugGroup& group);

    // Every bug of the frame in progress has stepped; the clock shows the
    // time at which the frame started.
    void BugsStepped();
    // The clock moved on; when it went back, the samples are dropped.
    void SetCurrentTime(std::uint32_t second, std::uint32_t frame);
    // Drops every sample (a new, opened or restored simulation).
    void Clear();
    // The file dialogs start beside the simulation's file.
    void SetSimulationFile(const QString& file) { simulationFile_ = file; }

    // The samples measured so far (those still being measured are not in it
    // yet).
    const TStatisticsHistory& History() const { return history_; }

    // The label of each statistic, in the order of GroupStatisticNames():
    // "Members", "Mean speed", ..., "Radius of gyration".
    static QString StatisticLabel(std::size_t statistic);

signals:
    // The window was closed with its close box.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct TLine {
        TBugGroup* Group;
        QLineSeries* Series;
    };

    // Puts the samples of the shown time span into the lines and fits the
    // axes to them.
    void refreshChart();
    void refreshIfPending();
    // Everything taken is measured and in the history.
    void completeSamples();
    void dropSamples();
    // The value axis over low .. high (the values shown), with a margin, on
    // round numbers.
    void fitValueAxis(double low, double high);
    void showLineOf(TLine& line);
    void savePicture();
    void saveData();
    void showError(const QString& message);

    TSimulation& simulation_;
    TStatisticsHistory history_;
    // Delivers into history_, so it goes first.
    TStatisticsSampler sampler_;
    // The clock time of the newest sample taken, while there are any.
    std::optional<TStatisticsHistory::TTime> lastTaken_;
    std::vector<TLine> lines_;
    QChart* chart_;
    QChartView* chartView_;
    QValueAxis* timeAxis_;
    QValueAxis* valueAxis_;
    QComboBox* statisticComboBox_;
    QPushButton* savePictureButton_;
    QPushButton* saveDataButton_;
    QTimer refreshTimer_;
    // Samples arrived since the lines were last brought up to date.
    bool pending_ = false;
    QString simulationFile_;
};

} // namespace kova
