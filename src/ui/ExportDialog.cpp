#include "ui/ExportDialog.h"

#include "simulation/MotionExport.h"
#include "simulation/Simulation.h"
#include "ui/FileDialogs.h"
#include "widgets/FloatEdit.h"
#include "widgets/SpinEdit.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>
#include <exception>

namespace kova {

namespace {

const char* const kCaption = "Export kvzMotionData";
const char* const kExportFrame = " Export ";
const char* const kGroupChoice = "Group";
const char* const kAllGroupsChoice = "All Groups";
const char* const kTimeFrame = " Time ";
const char* const kFromLabel = "from 0:00 to";
const char* const kValuesFrame = " Values ";
const char* const kMemberCount = "Member Count:";
const char* const kShrinkFrame = " Shrink ";
const char* const kTakeEvery = "take every";
const char* const kFrameLabel = "frame";
const char* const kRecordButton = "Record";
const char* const kSaveButton = "Save...";
const char* const kApplyButton = "Apply";
const char* const kOkButton = "OK";
const char* const kSaveTitle = "Save Motion Data";
const char* const kFileFilter = "kova motion data (*.kmd)";
const char* const kDefaultSuffix = "kmd";
const char* const kRecording = "Recording motion data...";
const char* const kCancel = "Cancel";
const char* const kErrorTitle = "Error";

constexpr Extended kMaxValue = 99999999.9L;
// The progress window is brought up to date this often while recording.
constexpr qint64 kProgressInterval = 50;

TFloatEdit* wholeNumberEdit(const char* objectName) {
    auto* edit = new TFloatEdit;
    edit->setObjectName(objectName);
    edit->SetDigits(0);
    edit->SetMin(0);
    edit->SetMax(kMaxValue);
    edit->SetValue(0);
    return edit;
}

QPushButton* button(const char* objectName, const char* caption) {
    auto* pushButton = new QPushButton(caption);
    pushButton->setObjectName(objectName);
    pushButton->setAutoDefault(false);
    return pushButton;
}

// The user's decimal separator where it is one ASCII character, else ".".
char decimalSeparator() {
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 128)
        return static_cast<char>(point.at(0).unicode());
    return '.';
}

std::uint32_t whole(const TFloatEdit& edit) {
    return static_cast<std::uint32_t>(std::trunc(edit.Value()));
}

} // namespace

// The motion table as the dialog's grid: the table's row 0 is the header,
// its rows 1 .. are the grid's rows 0 ..; columns as in the table.
class TMotionTableModel : public QAbstractTableModel {
public:
    TMotionTableModel(const TMotionTable& table, QObject* parent)
        : QAbstractTableModel(parent), table_(table) {}

    void Refresh() {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : std::max(table_.RowCount() - 1, 0);
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : table_.ColumnCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return QString::fromStdString(table_.Cell(index.column(), index.row() + 1));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Horizontal)
            return QString::fromStdString(table_.Cell(section, 0));
        return section + 1;
    }

private:
    const TMotionTable& table_;
};

TfrExport::TfrExport(TSimulation& simulation, QWidget* parent)
    : QDialog(parent), simulation_(simulation), machineMemory_(MachineMemoryBytes()) {
    setObjectName("frExport");
    setWindowTitle(kCaption);
    setModal(true);

    auto* groupChoice = new QRadioButton(kGroupChoice);
    groupChoice->setChecked(true);
    auto* allGroupsChoice = new QRadioButton(kAllGroupsChoice);
    allGroupsChoice->setEnabled(false);
    groupComboBox_ = new QComboBox;
    groupComboBox_->setObjectName("GroupComboBox");
    auto* exportFrame = new QGroupBox(kExportFrame);
    auto* exportRow = new QGridLayout(exportFrame);
    exportRow->addWidget(groupChoice, 0, 0);
    exportRow->addWidget(groupComboBox_, 0, 1);
    exportRow->addWidget(allGroupsChoice, 1, 0);

    totalSecEdit_ = wholeNumberEdit("TotalSecEdit");
    totalFrameEdit_ = wholeNumberEdit("TotalFrameEdit");
    recordButton_ = button("RecordButton", kRecordButton);
    saveButton_ = button("SaveButton", kSaveButton);
    auto* timeFrame = new QGroupBox(kTimeFrame);
    auto* timeRow = new QHBoxLayout(timeFrame);
    timeRow->addWidget(new QLabel(kFromLabel));
    timeRow->addWidget(totalSecEdit_);
    timeRow->addWidget(new QLabel(":"));
    timeRow->addWidget(totalFrameEdit_);
    timeRow->addWidget(recordButton_);
    timeRow->addWidget(saveButton_);

    memberCountLabel_ = new QLabel("0");
    memberCountLabel_->setObjectName("MemberCountLabel");
    model_ = new TMotionTableModel(table_, this);
    valueGrid_ = new QTableView;
    valueGrid_->setObjectName("ValueGrid");
    valueGrid_->setModel(model_);
    valueGrid_->verticalHeader()->hide();
    valueGrid_->verticalHeader()->setMinimumSectionSize(1);
    valueGrid_->verticalHeader()->setDefaultSectionSize(valueGrid_->fontMetrics().height() + 4);
    valueGrid_->horizontalHeader()->setDefaultSectionSize(170);
    valueGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    valueGrid_->setWordWrap(false);
    auto* valuesFrame = new QGroupBox(kValuesFrame);
    auto* values = new QGridLayout(valuesFrame);
    values->addWidget(new QLabel(kMemberCount), 0, 0);
    values->addWidget(memberCountLabel_, 0, 1);
    values->setColumnStretch(2, 1);
    values->addWidget(valueGrid_, 1, 0, 1, 3);

    shrinkFrameEdit_ = new TSpinEdit(1, 100, 1);
    shrinkFrameEdit_->setObjectName("ShrinkFrameEdit");
    applyButton_ = button("ApplyButton", kApplyButton);
    auto* shrinkFrame = new QGroupBox(kShrinkFrame);
    auto* shrinkRow = new QHBoxLayout(shrinkFrame);
    shrinkRow->addWidget(new QLabel(kTakeEvery));
    shrinkRow->addWidget(shrinkFrameEdit_);
    shrinkRow->addWidget(new QLabel(kFrameLabel));
    shrinkRow->addWidget(applyButton_);
    shrinkRow->addStretch(1);

    auto* ok = button("OKButton", kOkButton);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(shrinkFrame, 1);
    bottom->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(exportFrame);
    top->addWidget(timeFrame, 1);
    layout->addLayout(top);
    layout->addWidget(valuesFrame, 1);
    layout->addLayout(bottom);
    resize(640, 480);

    connect(groupComboBox_, &QComboBox::currentIndexChanged, this, &TfrExport::PrepareGrid);
    connect(totalSecEdit_, &QLineEdit::textChanged, this, &TfrExport::PrepareGrid);
    connect(totalFrameEdit_, &QLineEdit::textChanged, this, &TfrExport::PrepareGrid);
    connect(recordButton_, &QPushButton::clicked, this, &TfrExport::Record);
    connect(applyButton_, &QPushButton::clicked, this, &TfrExport::Apply);
    connect(saveButton_, &QPushButton::clicked, this, &TfrExport::Save);
    connect(ok, &QPushButton::clicked, this, &TfrExport::accept);
    refresh();
}

TfrExport::~TfrExport() = default;

void TfrExport::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        {
            const QSignalBlocker quiet(groupComboBox_);
            groupComboBox_->clear();
            for (const auto& group : simulation_.Groups)
                groupComboBox_->addItem(QString::fromStdString(group->Name),
                                        QVariant::fromValue(static_cast<void*>(group.get())));
            if (groupComboBox_->count() > 0)
                groupComboBox_->setCurrentIndex(0);
        }
        PrepareGrid();
    }
    QDialog::showEvent(event);
}

TBugGroup* TfrExport::chosenGroup() const {
    if (groupComboBox_->currentIndex() < 0)
        return nullptr;
    return static_cast<TBugGroup*>(groupComboBox_->currentData().value<void*>());
}

void TfrExport::PrepareGrid() {
    const std::uint8_t fps = simulation_.FPS;
    TBugGroup* group = chosenGroup();
    if (group != nullptr) {
        memberCountLabel_->setText(QString::number(group->Members.size()));
        // Lowering the frame runs this again through the edit's change.
        const std::uint32_t frame = whole(*totalFrameEdit_);
        if (frame != ClampSpanFrame(frame, fps))
            totalFrameEdit_->SetValue(ClampSpanFrame(frame, fps));
        try {
            const std::uint32_t lastFrame =
                SpanLastFrame({whole(*totalSecEdit_), whole(*totalFrameEdit_)}, fps);
            CheckMotionTableMemory(group->Members.size(), lastFrame + 1, machineMemory_);
            table_.Prepare(group, fps, lastFrame);
        } catch (const EMotionDataError&) {
            // "Record" tells the user why; until then the grid stays empty.
            table_ = TMotionTable();
        }
    } else {
        try {
            table_.Prepare(nullptr, fps,
                           SpanLastFrame({whole(*totalSecEdit_), whole(*totalFrameEdit_)}, fps));
        } catch (const EMotionDataError&) {
            table_.Prepare(nullptr, fps, 0);
        }
    }
    refresh();
}

void TfrExport::Record() {
    std::uint32_t lastFrame = 0;
    TBugGroup* group = chosenGroup();
    try {
        lastFrame =
            SpanLastFrame({whole(*totalSecEdit_), whole(*totalFrameEdit_)}, simulation_.FPS);
        if (group != nullptr)
            CheckMotionTableMemory(group->Members.size(), lastFrame + 1, machineMemory_);
    } catch (const EMotionDataError& error) {
        showError(QString::fromStdString(error.what()));
        return;
    }
    if (group == nullptr) {
        table_.RecordNothing(simulation_);
        refresh();
        return;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 shownAt = 0;
    std::unique_ptr<QProgressDialog> progress;
    auto onProgress = [&](std::uint32_t done, std::uint32_t count) {
        if (progress == nullptr) {
            if (clock.elapsed() < progressDelay_)
                return true;
            progress = std::make_unique<QProgressDialog>(kRecording, kCancel, 0,
                                                         static_cast<int>(count), this);
            progress->setObjectName("RecordProgress");
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            progress->show();
        }
        if (clock.elapsed() - shownAt >= kProgressInterval || done == count) {
            shownAt = clock.elapsed();
            progress->setValue(static_cast<int>(done));
            QApplication::processEvents();
        }
        return !progress->wasCanceled();
    };
    try {
        table_.Record(simulation_, *group, lastFrame, decimalSeparator(), onProgress);
    } catch (const EMotionDataError& error) {
        showError(QString::fromStdString(error.what()));
    }
    refresh();
}

void TfrExport::Apply() {
    table_.Shrink(shrinkFrameEdit_->value());
    refresh();
}

void TfrExport::Save() {
    const QString path =
        ChooseFileToSave(this, kSaveTitle, kFileFilter, kDefaultSuffix, simulationFile_);
    if (path.isEmpty())
        return;
    try {
        SaveKmdFile(table_, path.toLocal8Bit().toStdString());
    } catch (const std::exception& error) {
        showError(QString::fromLocal8Bit(error.what()));
    }
}

void TfrExport::refresh() {
    model_->Refresh();
    saveButton_->setEnabled(table_.CanSave());
    applyButton_->setEnabled(table_.CanShrink());
}

void TfrExport::showError(const QString& text) {
    QMessageBox::critical(this, kErrorTitle, text);
}

} // namespace kova
