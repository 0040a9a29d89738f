#pragma once

#include "render/RenderRun.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace kova {

class TSimulation;

// File > Export Video...: makes an H.264 video of the simulation's run from
// 0:0 through a span, drawn as the arena view draws it. A copy of the
// simulation runs, so the simulation in the window stays as it is.
class TfrVideoExport : public QDialog {
    Q_OBJECT
public:
    explicit TfrVideoExport(TSimulation& simulation, QWidget* parent = nullptr);

    // Called before the dialog is shown: the folder "Export..." starts in,
    // the arena view's zoom (offered as a size) and whether it shows trails.
    void Prepare(const QString& simulationFile, double zoom, bool trails);
    // A rendering that has run this long (in milliseconds) shows a progress
    // window that can cancel it.
    void SetProgressDelay(int milliseconds) { progressDelay_ = milliseconds; }

    // The video the dialog's settings describe, to be written to the path.
    TRenderOptions Options(const QString& path) const;
    // Renders the video into the file; true when it was written, false when
    // it was cancelled or failed (the user has been told why).
    bool ExportTo(const QString& path);

private:
    // Asks for the file, then exports; the dialog closes once the video is
    // written.
    void chooseFileAndExport();
    void fillSizes(double zoom);

    TSimulation& simulation_;
    QString simulationFile_;
    int progressDelay_ = 300;

    QSpinBox* untilSecondEdit_;
    QSpinBox* untilFrameEdit_;
    QComboBox* sizeComboBox_;
    QSpinBox* fpsEdit_;
    QCheckBox* trailsCheckBox_;
};

} // namespace kova
