#include "ui/VideoExportDialog.h"

#include "foundations/Streams.h"
#include "render/ArenaPicture.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"
#include "ui/FileDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

namespace kova {

namespace {

const char* const kCaption = "Export Video";
const char* const kSaveTitle = "Save Video";
const char* const kFileFilter = "MP4 video (*.mp4)";
const char* const kDefaultSuffix = "mp4";
const char* const kRendering = "Rendering the video...";
const char* const kCancel = "Cancel";
const char* const kEmptySpan = "The span is empty: choose a time after 0:0.";

// The progress window is brought up to date this often while rendering.
constexpr int kProgressInterval = 40;

// Common video sizes besides the arena's own.
constexpr QSize kVideoSizes[] = {{1280, 720}, {1920, 1080}, {3840, 2160}};

QSpinBox* spinBox(const char* name, int maximum, int value) {
    auto* box = new QSpinBox;
    box->setObjectName(name);
    box->setRange(0, maximum);
    box->setValue(value);
    return box;
}

// A copy of the simulation, rewound as a saved file opens.
std::unique_ptr<TSimulation> rewoundCopy(TSimulation& simulation) {
    TMemoryStream saved;
    WriteSimulationSnapshot(simulation, saved);
    TMemoryStream stream(saved.TakeBytes());
    auto copy = std::make_unique<TSimulation>();
    ReadSimulationFile(*copy, stream);
    copy->SetThreads(simulation.Threads());
    return copy;
}

} // namespace

TfrVideoExport::TfrVideoExport(TSimulation& simulation, QWidget* parent)
    : QDialog(parent), simulation_(simulation) {
    setObjectName("frVideoExport");
    setWindowTitle(kCaption);

    untilSecondEdit_ = spinBox("UntilSecondEdit", 24 * 3600, 10);
    untilFrameEdit_ = spinBox("UntilFrameEdit", 255, 0);
    auto* span = new QHBoxLayout;
    span->addWidget(untilSecondEdit_);
    span->addWidget(new QLabel(":"));
    span->addWidget(untilFrameEdit_);
    span->addStretch();
    sizeComboBox_ = new QComboBox;
    sizeComboBox_->setObjectName("SizeComboBox");
    fpsEdit_ = spinBox("FpsEdit", 255, 25);
    fpsEdit_->setMinimum(1);
    trailsCheckBox_ = new QCheckBox("Show trails");
    trailsCheckBox_->setObjectName("TrailsCheckBox");

    auto* form = new QFormLayout;
    form->addRow("Run from 0:0 until (second : frame):", span);
    form->addRow("Size:", sizeComboBox_);
    form->addRow("Frames per second:", fpsEdit_);
    form->addRow("", trailsCheckBox_);

    auto* buttons = new QDialogButtonBox;
    QPushButton* exportButton = buttons->addButton("Export...", QDialogButtonBox::AcceptRole);
    exportButton->setObjectName("ExportButton");
    exportButton->setDefault(true);
    QPushButton* closeButton = buttons->addButton(QDialogButtonBox::Close);
    closeButton->setObjectName("CloseButton");
    connect(exportButton, &QPushButton::clicked, this, &TfrVideoExport::chooseFileAndExport);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TfrVideoExport::Prepare(const QString& simulationFile, double zoom, bool trails) {
    simulationFile_ = simulationFile;
    fpsEdit_->setValue(simulation_.FPS);
    trailsCheckBox_->setChecked(trails);
    fillSizes(zoom);
}

void TfrVideoExport::fillSizes(double zoom) {
    const int width = MeterToPixel(simulation_.Space.Width, simulation_.PixelsPerMeter);
    const int height = MeterToPixel(simulation_.Space.Height, simulation_.PixelsPerMeter);
    sizeComboBox_->clear();
    // A scale is kept as a double, a frame size as a QSize.
    sizeComboBox_->addItem(QString("As the arena, %1 x %2").arg(width).arg(height), 1.0);
    if (zoom != 1)
        sizeComboBox_->addItem(QString("As shown, %1 %").arg(std::lround(zoom * 100)), zoom);
    for (const QSize size : kVideoSizes)
        sizeComboBox_->addItem(QString("%1 x %2").arg(size.width()).arg(size.height()), size);
}

TRenderOptions TfrVideoExport::Options(const QString& path) const {
    TRenderOptions options;
    options.Frames = std::uint64_t(untilSecondEdit_->value()) * simulation_.FPS +
                     static_cast<std::uint64_t>(untilFrameEdit_->value());
    options.Video = path.toLocal8Bit().toStdString();
    options.Fps = fpsEdit_->value();
    options.Frame.EvenSize = true;
    options.Frame.Trails = trailsCheckBox_->isChecked();
    const QVariant size = sizeComboBox_->currentData();
    if (size.typeId() == QMetaType::QSize)
        options.Frame.Size = size.toSize();
    else
        options.Frame.Scale = size.isValid() ? size.toDouble() : 1.0;
    return options;
}

void TfrVideoExport::chooseFileAndExport() {
    const QString path =
        ChooseFileToSave(this, kSaveTitle, kFileFilter, kDefaultSuffix, simulationFile_);
    if (path.isEmpty())
        return;
    if (ExportTo(path))
        accept();
}

bool TfrVideoExport::ExportTo(const QString& path) {
    const TRenderOptions options = Options(path);
    if (options.Frames == 0) {
        QMessageBox::critical(this, kCaption, kEmptySpan);
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceShown;
    std::unique_ptr<QProgressDialog> progress;
    const auto report = [&](std::uint64_t done, std::uint64_t total) {
        if (progress == nullptr) {
            if (clock.elapsed() < progressDelay_)
                return true;
            progress = std::make_unique<QProgressDialog>(
                kRendering, kCancel, 0, static_cast<int>(std::min<std::uint64_t>(total, INT_MAX)),
                this);
            progress->setObjectName("VideoProgress");
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
        } else if (sinceShown.isValid() && sinceShown.elapsed() < kProgressInterval) {
            return true;
        }
        progress->setValue(static_cast<int>(std::min<std::uint64_t>(done, INT_MAX)));
        QCoreApplication::processEvents();
        sinceShown.start();
        return !progress->wasCanceled();
    };
    try {
        const std::unique_ptr<TSimulation> copy = rewoundCopy(simulation_);
        return RenderRun(*copy, options, report).Completed;
    } catch (const std::exception& error) {
        progress.reset();
        QMessageBox::critical(this, kCaption, QString::fromLocal8Bit(error.what()));
        return false;
    }
}

} // namespace kova
