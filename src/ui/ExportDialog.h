#pragma once

#include "simulation/MotionData.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace kova {

class TBugGroup;
class TFloatEdit;
class TMotionTableModel;
class TSimulation;
class TSpinEdit;

// The motion data export: records one group's positions over a span of time
// into a table, thins it to every n-th frame and saves it as a kmd file.
// Opening it rebuilds the group list and empties the table.
class TfrExport : public QDialog {
    Q_OBJECT
public:
    explicit TfrExport(TSimulation& simulation, QWidget* parent = nullptr);
    ~TfrExport() override;

    const TMotionTable& Table() const { return table_; }
    // A recording that has run this long (in milliseconds) shows a progress
    // window that can cancel it.
    void SetProgressDelay(int milliseconds) { progressDelay_ = milliseconds; }
    // The memory (bytes) of which a recording's table may take half; the
    // machine's physical memory unless set.
    void SetMachineMemory(std::uint64_t bytes) { machineMemory_ = bytes; }
    // The simulation's file, in whose folder "Save..." starts.
    void SetSimulationFile(const QString& path) { simulationFile_ = path; }

    // Shapes the table for the chosen group and span; nothing to save.
    void PrepareGrid();
    // Rewinds, then steps the chosen group's members through the span. A
    // span or group the table cannot hold, or whose table would take more
    // than half of the machine's memory, is refused before anything moves.
    void Record();
    // Keeps every n-th frame.
    void Apply();
    // Asks for a file and writes the table to it.
    void Save();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TBugGroup* chosenGroup() const;
    void refresh();
    void showError(const QString& text);

    TSimulation& simulation_;
    TMotionTable table_;
    TMotionTableModel* model_;
    int progressDelay_ = 300;
    std::uint64_t machineMemory_;
    QString simulationFile_;

    QComboBox* groupComboBox_;
    TFloatEdit* totalSecEdit_;
    TFloatEdit* totalFrameEdit_;
    QPushButton* recordButton_;
    QPushButton* saveButton_;
    QLabel* memberCountLabel_;
    QTableView* valueGrid_;
    TSpinEdit* shrinkFrameEdit_;
    QPushButton* applyButton_;
};

} // namespace kova
