#include "ui/StatisticsWindow.h"

#include "foundations/OutputFile.h"
#include "render/QtCanvas.h"
#include "render/RenderRun.h"
#include "simulation/Simulation.h"
#include "ui/FileDialogs.h"
#include "ui/FrameTimer.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace kova {

namespace {

const char* const kCaption = "Statistics";
const char* const kStatisticLabel = "Statistic";
const char* const kTimeTitle = "Time (s)";
const char* const kSavePictureText = "Save Picture...";
const char* const kSaveDataText = "Save Data...";
const char* const kSavePictureTitle = "Save Statistics Picture";
const char* const kSaveDataTitle = "Save Statistics Data";
const char* const kPictureFilter = "PNG image (*.png);;all files (*)";
const char* const kDataFilter = "CSV file (*.csv);;all files (*)";
const char* const kErrorTitle = "Error";
const char* const kFirstStatistic = "polarisation";

// Grid lines every this many seconds, at whole multiples.
constexpr double kTimeTick = 5;
constexpr int kLineWidth = 2;
// About this many grid lines across the fitted value range.
constexpr double kValueTicks = 5;

QPen linePen(const TBugGroup& group) {
    QPen pen(ToQColor(group.Color));
    pen.setWidth(kLineWidth);
    return pen;
}

// The first of the samples first .. count - 1 taken at `seconds` or later
// (count when none was).
std::size_t firstSampleFrom(const TStatisticsHistory& history, double seconds) {
    std::size_t low = 0;
    std::size_t high = history.SampleCount();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (history.Time(middle).Seconds < seconds)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// Whether the clock time second:frame is not later than `time`.
bool notAfter(std::uint32_t second, std::uint32_t frame, const TStatisticsHistory::TTime& time) {
    return second < time.Second || (second == time.Second && frame <= time.Frame);
}

// 1, 2 or 5 times a power of ten, the smallest such not below `wanted`.
double roundStep(double wanted) {
    if (!(wanted > 0) || !std::isfinite(wanted))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(wanted)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (factor * power >= wanted)
            return factor * power;
    return 10 * power;
}

} // namespace

TfrStatistics::TfrStatistics(TSimulation& simulation, TFrameTimer& frames, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint),
      simulation_(simulation),
      sampler_([this](const TStatisticsHistory::TTime& time,
                      std::span<const TStatisticsHistory::TGroupValues> groups) {
          history_.Add(time, groups);
          pending_ = true;
      }) {
    setObjectName("frStatistics");
    setWindowTitle(kCaption);

    statisticComboBox_ = new QComboBox;
    statisticComboBox_->setObjectName("StatisticComboBox");
    const auto& names = GroupStatisticNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        statisticComboBox_->addItem(StatisticLabel(i));
    const auto first = std::find(names.begin(), names.end(), kFirstStatistic);
    statisticComboBox_->setCurrentIndex(
        first != names.end() ? static_cast<int>(first - names.begin()) : 0);

    savePictureButton_ = new QPushButton(kSavePictureText);
    savePictureButton_->setObjectName("SavePictureButton");
    saveDataButton_ = new QPushButton(kSaveDataText);
    saveDataButton_->setObjectName("SaveDataButton");

    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    timeAxis_ = new QValueAxis;
    timeAxis_->setTitleText(kTimeTitle);
    timeAxis_->setLabelFormat("%g");
    timeAxis_->setTickType(QValueAxis::TicksDynamic);
    timeAxis_->setTickAnchor(0);
    timeAxis_->setTickInterval(kTimeTick);
    valueAxis_ = new QValueAxis;
    valueAxis_->setLabelFormat("%.4g");
    valueAxis_->setTickType(QValueAxis::TicksDynamic);
    valueAxis_->setTickAnchor(0);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);

    chartView_ = new QChartView(chart_);
    chartView_->setObjectName("StatisticsChart");
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumSize(320, 220);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(kStatisticLabel));
    top->addWidget(statisticComboBox_);
    top->addStretch();
    top->addWidget(savePictureButton_);
    top->addWidget(saveDataButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(chartView_, 1);
    resize(620, 420);

    refreshTimer_.setInterval(kRefreshInterval);
    connect(&refreshTimer_, &QTimer::timeout, this, &TfrStatistics::refreshIfPending);
    // A paused run shows its last frame at once.
    connect(&frames, &TFrameTimer::paused, this, [this] {
        if (!isVisible())
            return;
        completeSamples();
        refreshIfPending();
    });
    connect(statisticComboBox_, &QComboBox::currentIndexChanged, this,
            &TfrStatistics::refreshChart);
    connect(savePictureButton_, &QPushButton::clicked, this, &TfrStatistics::savePicture);
    connect(saveDataButton_, &QPushButton::clicked, this, &TfrStatistics::saveData);
    refreshChart();
}

TfrStatistics::~TfrStatistics() = default;

QString TfrStatistics::StatisticLabel(std::size_t statistic) {
    const auto& names = GroupStatisticNames();
    if (statistic >= names.size())
        return QString();
    // "mean_nearest_neighbour_distance" reads "Mean nearest neighbour distance".
    QString label = QString::fromStdString(names[statistic]).replace('_', ' ');
    if (!label.isEmpty())
        label[0] = label[0].toUpper();
    return label;
}

void TfrStatistics::AddGroup(TBugGroup& group) {
    auto* series = new QLineSeries;
    series->setName(QString::fromStdString(group.Name));
    series->setPen(linePen(group));
    chart_->addSeries(series);
    series->attachAxis(timeAxis_);
    series->attachAxis(valueAxis_);
    lines_.push_back({&group, series});
}

void TfrStatistics::UpdateGroup(TBugGroup& group) {
    for (TLine& line : lines_)
        if (line.Group == &group) {
            line.Series->setName(QString::fromStdString(group.Name));
            line.Series->setPen(linePen(group));
        }
}

void TfrStatistics::DeleteGroup(TBugGroup& group) {
    // Samples still being measured hold the group.
    completeSamples();
    history_.Forget(group);
    const auto line = std::find_if(lines_.begin(), lines_.end(),
                                   [&](const TLine& kept) { return kept.Group == &group; });
    if (line == lines_.end())
        return;
    chart_->removeSeries(line->Series);
    delete line->Series;
    lines_.erase(line);
    refreshChart();
}

void TfrStatistics::BugsStepped() {
    if (!isVisible())
        return;
    const std::uint32_t second = simulation_.CurrentSecond;
    const std::uint32_t frame = simulation_.CurrentFrame;
    if (lastTaken_ && notAfter(second, frame, *lastTaken_))
        dropSamples();
    lastTaken_ = TStatisticsHistory::ClockTime(second, frame, simulation_.FPS);
    sampler_.Take(simulation_.Groups, *lastTaken_);
}

void TfrStatistics::SetCurrentTime(std::uint32_t second, std::uint32_t frame) {
    // Rewound, back to the start values or turned back at the loop point.
    if (lastTaken_ && notAfter(second, frame, *lastTaken_)) {
        dropSamples();
        refreshChart();
    }
}

void TfrStatistics::Clear() {
    dropSamples();
    refreshChart();
}

void TfrStatistics::dropSamples() {
    sampler_.Discard();
    history_.Clear();
    lastTaken_.reset();
}

void TfrStatistics::completeSamples() {
    sampler_.Flush();
}

void TfrStatistics::refreshIfPending() {
    if (pending_ && isVisible())
        refreshChart();
}

void TfrStatistics::refreshChart() {
    pending_ = false;
    const std::size_t statistic =
        static_cast<std::size_t>(std::max(statisticComboBox_->currentIndex(), 0));
    const std::size_t samples = history_.SampleCount();
    const double newest = samples > 0 ? history_.Time(samples - 1).Seconds : 0;
    const double to = std::max(newest, kShownSeconds);
    const double from = to - kShownSeconds;
    // One sample before the span, so that the lines run into the chart from
    // its left edge.
    const std::size_t first = std::max<std::size_t>(firstSampleFrom(history_, from), 1) - 1;

    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (TLine& line : lines_) {
        QList<QPointF> points;
        if (const TStatisticsHistory::TTrack* track = history_.TrackOf(*line.Group)) {
            const std::size_t offset = samples - track->Values.Size();
            const std::size_t start = std::max(first, offset);
            points.reserve(static_cast<qsizetype>(samples - start));
            for (std::size_t sample = start; sample < samples; ++sample) {
                const double value = track->Values[sample - offset][statistic];
                const double seconds = history_.Time(sample).Seconds;
                if (!std::isfinite(value))
                    continue;
                points.append(QPointF(seconds, value));
                if (seconds >= from) {
                    low = std::min(low, value);
                    high = std::max(high, value);
                }
            }
        }
        line.Series->replace(points);
    }

    timeAxis_->setRange(from, to);
    fitValueAxis(low, high);
    valueAxis_->setTitleText(StatisticLabel(statistic));
}

void TfrStatistics::fitValueAxis(double low, double high) {
    if (low > high) {
        low = 0;
        high = 1;
    }
    const double margin = low != high ? (high - low) / 20 : low != 0 ? std::abs(low) / 10 : 1;
    // Values that are never negative (most statistics) keep the axis above
    // zero, and those never positive below it.
    const double bottom = low >= 0 ? std::max(low - margin, 0.0) : low - margin;
    double top = high <= 0 ? std::min(high + margin, 0.0) : high + margin;
    if (!(top > bottom))
        top = bottom + 1;
    // Grid lines at whole multiples of a round step, and the axis ends on
    // grid lines.
    const double step = roundStep((top - bottom) / kValueTicks);
    valueAxis_->setTickInterval(step);
    valueAxis_->setRange(std::floor(bottom / step) * step, std::ceil(top / step) * step);
}

void TfrStatistics::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshChart();
    refreshTimer_.start();
}

void TfrStatistics::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    refreshTimer_.stop();
}

void TfrStatistics::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void TfrStatistics::savePicture() {
    // The chart as it stands, brought up to date and laid out anew (the
    // layout follows the axes' labels on a posted event); taken before the
    // dialog covers anything.
    completeSamples();
    if (pending_) {
        refreshChart();
        QCoreApplication::sendPostedEvents(chart_, QEvent::LayoutRequest);
    }
    const QPixmap picture = chartView_->grab();
    const QString path =
        ChooseFileToSave(this, kSavePictureTitle, kPictureFilter, "png", simulationFile_);
    if (path.isEmpty())
        return;
    try {
        kova::SavePicture(picture.toImage(), path.toLocal8Bit().toStdString());
    } catch (const std::exception& error) {
        showError(QString::fromLocal8Bit(error.what()));
    }
}

void TfrStatistics::saveData() {
    const QString path =
        ChooseFileToSave(this, kSaveDataTitle, kDataFilter, "csv", simulationFile_);
    if (path.isEmpty())
        return;
    completeSamples();
    try {
        TOutputFile output(path.toLocal8Bit().toStdString());
        history_.WriteCsv(output.Stream());
        output.Commit();
    } catch (const std::exception& error) {
        showError(QString::fromLocal8Bit(error.what()));
    }
}

void TfrStatistics::showError(const QString& message) {
    QMessageBox::critical(this, kErrorTitle, message);
}

} // namespace kova
