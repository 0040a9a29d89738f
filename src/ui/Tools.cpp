#include "ui/Tools.h"

#include "simulation/Simulation.h"
#include "ui/FrameTimer.h"
#include "widgets/FloatEdit.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

namespace kova {

namespace {

const char* const kCaption = "Tools";
const char* const kBugHint = "Enable / Disable Bug Creation";
const char* const kLineHint = "Draw Obstacle-Line";
const char* const kEllipseHint = "Draw Obstacle-Ellipse";
const char* const kFrameCaption = " Bug Creation ";
const char* const kDensityLabel = "Density";
const char* const kPercentLabel = "%";

constexpr int kButtonSize = 33;
constexpr int kIconSize = 24;

// The tool pictures are drawn rather than loaded, so the program needs no
// image files.
QIcon drawnIcon(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return QIcon(pixmap);
}

QIcon bugIcon() {
    return drawnIcon([](QPainter& p) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(200, 30, 30));
        const QPoint centres[] = {{6, 7}, {16, 5}, {11, 13}, {5, 18}, {18, 17}};
        for (const QPoint& centre : centres)
            p.drawEllipse(centre, 3, 3);
    });
}

QIcon lineIcon() {
    return drawnIcon([](QPainter& p) {
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(3, 20, 21, 4);
    });
}

QIcon ellipseIcon() {
    return drawnIcon([](QPainter& p) {
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(3, 3, 18, 18));
    });
}

TBugGroup* groupOf(const QVariant& data) {
    return reinterpret_cast<TBugGroup*>(data.value<quintptr>());
}

} // namespace

TfrTools::TfrTools(TSimulation& simulation, TFrameTimer& frames, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      simulation_(simulation), frames_(frames) {
    setObjectName("frTools");
    setWindowTitle(kCaption);

    bugButton_ = makeToolButton("BugCreationButton", kBugHint, bugIcon());
    lineButton_ = makeToolButton("ObstacleLineButton", kLineHint, lineIcon());
    ellipseButton_ = makeToolButton("ObstacleEllipseButton", kEllipseHint, ellipseIcon());
    connect(bugButton_, &QToolButton::clicked, this, &TfrTools::bugButtonClicked);
    connect(lineButton_, &QToolButton::clicked, this,
            [this] { obstacleButtonClicked(lineButton_); });
    connect(ellipseButton_, &QToolButton::clicked, this,
            [this] { obstacleButtonClicked(ellipseButton_); });

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(bugButton_);
    buttons->addWidget(lineButton_);
    buttons->addWidget(ellipseButton_);
    buttons->addStretch();

    groupComboBox_ = new QComboBox;
    groupComboBox_->setObjectName("GroupComboBox");
    groupComboBox_->setEnabled(false);

    densityEdit_ = new TFloatEdit;
    densityEdit_->setObjectName("DensityEdit");
    densityEdit_->SetDigits(0);
    densityEdit_->SetMin(0);
    densityEdit_->SetMax(100);
    densityEdit_->SetValue(10);
    densityEdit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    densityEdit_->setMaximumWidth(40);

    auto* densityLabel = new QLabel(kDensityLabel);
    auto* percentLabel = new QLabel(kPercentLabel);
    densityLabel->setEnabled(false);
    percentLabel->setEnabled(false);
    auto* densityRow = new QHBoxLayout;
    densityRow->addWidget(densityLabel);
    densityRow->addWidget(densityEdit_);
    densityRow->addWidget(percentLabel);
    densityRow->addStretch();

    auto* frame = new QGroupBox(kFrameCaption);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(4, 4, 4, 4);
    frameLayout->addWidget(groupComboBox_);
    frameLayout->addLayout(densityRow);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addLayout(buttons);
    layout->addWidget(frame);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QToolButton* TfrTools::makeToolButton(const QString& objectName, const QString& hint,
                                      const QIcon& icon) {
    auto* button = new QToolButton;
    button->setObjectName(objectName);
    button->setToolTip(hint);
    button->setCheckable(true);
    button->setIcon(icon);
    button->setIconSize(QSize(kIconSize, kIconSize));
    button->setFixedSize(kButtonSize, kButtonSize);
    return button;
}

void TfrTools::releaseAllBut(QToolButton* button) {
    for (QToolButton* other : {bugButton_, lineButton_, ellipseButton_})
        if (other != button && button->isChecked())
            other->setChecked(false);
}

void TfrTools::stopAndRewind() {
    if (simulation_.Running)
        frames_.Pause();
    frames_.Rewind();
}

void TfrTools::bugButtonClicked() {
    releaseAllBut(bugButton_);
    stopAndRewind();
    if (bugButton_->isChecked()) {
        groupComboBox_->setEnabled(true);
        // Without a group this releases the button again.
        simulation_.BeginBugCreation();
    } else {
        groupComboBox_->setEnabled(false);
        simulation_.EndBugCreation();
    }
}

void TfrTools::obstacleButtonClicked(QToolButton* button) {
    releaseAllBut(button);
    groupComboBox_->setEnabled(false);
    stopAndRewind();
    simulation_.EndBugCreation();
    const bool down = button->isChecked();
    if (button == lineButton_)
        simulation_.SelectObstacleLine(down);
    else
        simulation_.SelectObstacleEllipse(down);
    simulation_.Host().SetArenaCursor(down ? TArenaCursor::Cross : TArenaCursor::Arrow);
}

void TfrTools::ReleaseBugButton() {
    bugButton_->setChecked(false);
    groupComboBox_->setEnabled(false);
}

void TfrTools::ReleaseObstacleButtons() {
    lineButton_->setChecked(false);
    ellipseButton_->setChecked(false);
}

TArenaTool TfrTools::ActiveTool() const {
    if (bugButton_->isChecked())
        return TArenaTool::Bug;
    if (lineButton_->isChecked())
        return TArenaTool::Line;
    if (ellipseButton_->isChecked())
        return TArenaTool::Ellipse;
    return TArenaTool::None;
}

int TfrTools::indexOf(const TBugGroup& group) const {
    for (int i = 0; i < groupComboBox_->count(); ++i)
        if (groupOf(groupComboBox_->itemData(i)) == &group)
            return i;
    return -1;
}

void TfrTools::AddGroup(TBugGroup& group) {
    groupComboBox_->addItem(QString::fromStdString(group.Name),
                            QVariant::fromValue(reinterpret_cast<quintptr>(&group)));
    groupComboBox_->setCurrentIndex(groupComboBox_->count() - 1);
}

void TfrTools::UpdateGroup(TBugGroup& group) {
    const int current = groupComboBox_->currentIndex();
    const int index = indexOf(group);
    if (index >= 0)
        groupComboBox_->setItemText(index, QString::fromStdString(group.Name));
    groupComboBox_->setCurrentIndex(current);
}

void TfrTools::DeleteGroup(TBugGroup& group) {
    const int index = indexOf(group);
    if (index >= 0)
        groupComboBox_->removeItem(index);
    if (groupComboBox_->count() > 0)
        groupComboBox_->setCurrentIndex(0);
    else
        groupComboBox_->clear();
}

TBugGroup* TfrTools::ChosenGroup() const {
    const int index = groupComboBox_->currentIndex();
    return index >= 0 ? groupOf(groupComboBox_->itemData(index)) : nullptr;
}

int TfrTools::Density() const {
    return static_cast<int>(std::trunc(densityEdit_->Value()));
}

void TfrTools::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

} // namespace kova
