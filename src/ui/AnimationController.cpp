#include "ui/AnimationController.h"

#include "simulation/Simulation.h"
#include "ui/FrameTimer.h"
#include "widgets/FloatEdit.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

const char* const kCaption = "Animation Controller";
const char* const kTimeLabel = "sec | frame";
const char* const kLoopBox = "Loop at";
const char* const kRewindText = "|<<";
const char* const kPlayText = ">";
const char* const kPauseText = "||";
const char* const kRewindHint = "Rewind Simulation";
const char* const kPlayHint = "Start Simulation";
const char* const kPauseHint = "Pause Simulation";
const char* const kTrailsBox = "Show Trails";
const char* const kTrailsHint = "Enable / Dissable Arena Repaint";
const char* const kDoubleBufferBox = "Double Buffer";
const char* const kDelayLabel = "Frame Delay";

constexpr Extended kMaxSeconds = 99999999.9L;
constexpr int kInitialDelay = 15;

TFloatEdit* timeEdit(const char* objectName, Extended max) {
    auto* edit = new TFloatEdit;
    edit->setObjectName(objectName);
    edit->SetDigits(0);
    edit->SetMin(0);
    edit->SetMax(max);
    edit->SetValue(0);
    edit->setMaximumWidth(70);
    return edit;
}

QPushButton* playbackButton(const char* objectName, const char* text, const char* hint) {
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    button->setToolTip(hint);
    button->setFixedWidth(36);
    return button;
}

std::uint32_t wholePart(Extended value) {
    return static_cast<std::uint32_t>(std::trunc(std::max(value, Extended{0})));
}

} // namespace

TfrAnimationController::TfrAnimationController(TSimulation& simulation, TFrameTimer& frames,
                                               QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      simulation_(simulation), frames_(frames) {
    setObjectName("frAnimationController");
    setWindowTitle(kCaption);

    currentSecondEdit_ = timeEdit("CurrentSecondEdit", kMaxSeconds);
    currentFrameEdit_ = timeEdit("CurrentFrameEdit", 255);
    currentSecondEdit_->setReadOnly(true);
    currentFrameEdit_->setReadOnly(true);
    loopCheckBox_ = new QCheckBox(kLoopBox);
    loopCheckBox_->setObjectName("LoopCheckBox");
    loopSecondEdit_ = timeEdit("LoopSecondEdit", kMaxSeconds);
    loopFrameEdit_ = timeEdit("LoopFrameEdit", 255);
    loopSecondEdit_->setEnabled(false);
    loopFrameEdit_->setEnabled(false);

    rewindButton_ = playbackButton("RewindButton", kRewindText, kRewindHint);
    playButton_ = playbackButton("PlayButton", kPlayText, kPlayHint);
    pauseButton_ = playbackButton("PauseButton", kPauseText, kPauseHint);

    trailsCheckBox_ = new QCheckBox(kTrailsBox);
    trailsCheckBox_->setObjectName("TrailsCheckBox");
    trailsCheckBox_->setToolTip(kTrailsHint);
    doubleBufferCheckBox_ = new QCheckBox(kDoubleBufferBox);
    doubleBufferCheckBox_->setObjectName("DoubleBufferCheckBox");
    doubleBufferCheckBox_->setChecked(true);

    delayEdit_ = new TSpinEdit;
    delayEdit_->setObjectName("DelayEdit");
    delayEdit_->setRange(0, 1000);
    delayEdit_->setValue(kInitialDelay);
    delayEdit_->SetTypingEnabled(false);

    auto* grid = new QGridLayout;
    grid->addWidget(currentSecondEdit_, 0, 0);
    grid->addWidget(currentFrameEdit_, 0, 1);
    grid->addWidget(new QLabel(kTimeLabel), 0, 2);
    grid->addWidget(loopSecondEdit_, 1, 0);
    grid->addWidget(loopFrameEdit_, 1, 1);
    grid->addWidget(loopCheckBox_, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(rewindButton_);
    buttons->addWidget(playButton_);
    buttons->addWidget(pauseButton_);
    buttons->addStretch();

    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(new QLabel(kDelayLabel));
    delayRow->addWidget(delayEdit_);
    delayRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addWidget(trailsCheckBox_);
    layout->addWidget(doubleBufferCheckBox_);
    layout->addLayout(delayRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Connected only now, so the initial texts are not written into the
    // simulation; showing the window brings the loop point in.
    connect(playButton_, &QPushButton::clicked, this, [this] { frames_.Run(); });
    connect(pauseButton_, &QPushButton::clicked, this, [this] { frames_.Pause(); });
    connect(rewindButton_, &QPushButton::clicked, this, [this] { frames_.Rewind(); });
    connect(loopCheckBox_, &QCheckBox::toggled, this, &TfrAnimationController::loopToggled);
    connect(loopSecondEdit_, &QLineEdit::textChanged, this,
            &TfrAnimationController::loopSecondChanged);
    connect(loopFrameEdit_, &QLineEdit::textChanged, this,
            &TfrAnimationController::loopFrameChanged);
    connect(delayEdit_, &QSpinBox::valueChanged, this,
            [this](int value) { simulation_.SetDelay(static_cast<std::uint16_t>(value)); });
    connect(doubleBufferCheckBox_, &QCheckBox::toggled, this,
            [this](bool checked) { simulation_.Doc.SetDoubleBuffered(checked); });
}

void TfrAnimationController::SetCurrentTime() {
    currentSecondEdit_->SetValue(simulation_.CurrentSecond);
    currentFrameEdit_->SetValue(simulation_.CurrentFrame);
}

void TfrAnimationController::showLoopPoint() {
    loopCheckBox_->setChecked(simulation_.Loop);
    loopSecondEdit_->SetValue(simulation_.LoopSecond);
    loopFrameEdit_->SetValue(simulation_.LoopFrame);
}

void TfrAnimationController::ShowSimulationValues() {
    showLoopPoint();
    SetCurrentTime();
    delayEdit_->setValue(simulation_.Delay);
}

bool TfrAnimationController::ShowTrails() const {
    return trailsCheckBox_->isChecked();
}

void TfrAnimationController::loopToggled(bool checked) {
    loopSecondEdit_->setEnabled(checked);
    loopFrameEdit_->setEnabled(checked);
    simulation_.SetLoop(checked);
}

void TfrAnimationController::loopSecondChanged() {
    simulation_.SetLoopSecond(wholePart(loopSecondEdit_->Value()));
}

void TfrAnimationController::loopFrameChanged() {
    std::uint32_t frame = wholePart(loopFrameEdit_->Value());
    const std::uint32_t lastFrame = std::max(static_cast<int>(simulation_.FPS) - 1, 0);
    if (frame > lastFrame) {
        frame = lastFrame;
        loopFrameEdit_->SetValue(frame);
    }
    simulation_.SetLoopFrame(frame);
}

void TfrAnimationController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showLoopPoint();
}

void TfrAnimationController::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

} // namespace kova
