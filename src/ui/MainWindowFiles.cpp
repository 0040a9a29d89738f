// The File menu's open and save flows of the main window.
#include "ui/MainWindow.h"

#include "render/RenderRun.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"
#include "ui/ArenaView.h"
#include "ui/EditHistory.h"
#include "ui/FileDialogs.h"
#include "ui/StatisticsWindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScrollArea>

#include <exception>

namespace kova {

namespace {

const char* const kOpenTitle = "Open Simulation";
const char* const kSaveTitle = "Save Simulation";
const char* const kFileFilter = "kova simulation file (*.kvz);;all files (*)";
const char* const kDefaultSuffix = "kvz";
const char* const kErrorTitle = "Error";
const char* const kPictureTitle = "Save Picture";
const char* const kPictureFilter = "PNG picture (*.png)";
const char* const kPictureSuffix = "png";

QFileDialog* simulationFileDialog(QWidget* parent, const QString& title,
                                  QFileDialog::AcceptMode mode, const QString& currentFile) {
    auto* dialog = new QFileDialog(parent, title, FileDialogFolder(currentFile), kFileFilter);
    dialog->setAcceptMode(mode);
    dialog->setDefaultSuffix(kDefaultSuffix);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (mode == QFileDialog::AcceptOpen)
        dialog->setFileMode(QFileDialog::ExistingFile);
    return dialog;
}

// Runs a file operation; false (after telling the user why) when it failed.
template <typename Operation> bool reportFailure(QWidget* parent, Operation operation) {
    try {
        operation();
        return true;
    } catch (const std::exception& error) {
        QMessageBox::critical(parent, kErrorTitle, QString::fromLocal8Bit(error.what()));
        return false;
    }
}

} // namespace

void TfrMain::OpenSimulation() {
    if (!AskToSaveChanges())
        return;
    std::unique_ptr<QFileDialog> dialog(
        simulationFileDialog(this, kOpenTitle, QFileDialog::AcceptOpen, fileName_));
    const QString path = ChosenFile(*dialog);
    if (!path.isEmpty())
        OpenFile(path);
    simulation_->Repaint();
}

bool TfrMain::OpenFile(const QString& path) {
    // The loader leaves the simulation as it was when it fails, and the file
    // name stays with it.
    const bool opened = reportFailure(
        this, [&] { OpenSimulationFile(*simulation_, path.toLocal8Bit().toStdString()); });
    if (!opened)
        return false;
    history_->Reset(static_cast<std::size_t>(QFileInfo(path).size()));
    statistics_->Clear();
    fileName_ = path;
    UpdateCaption();
    UpdateArena();
    return true;
}

bool TfrMain::SaveSimulation() {
    const bool saved = reportFailure(
        this, [&] { SaveSimulationFile(*simulation_, fileName_.toLocal8Bit().toStdString()); });
    if (saved)
        history_->MarkSaved();
    return saved;
}

bool TfrMain::SaveSimulationAs() {
    std::unique_ptr<QFileDialog> dialog(
        simulationFileDialog(this, kSaveTitle, QFileDialog::AcceptSave, fileName_));
    dialog->selectFile(fileName_);
    const QString path = ChosenFile(*dialog);
    if (path.isEmpty())
        return false;
    fileName_ = path;
    UpdateCaption();
    return SaveSimulation();
}

bool TfrMain::AskToSaveChanges() {
    if (!history_->IsModified())
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, windowTitle().remove("[*]"), "The simulation has unsaved changes. Save them first?",
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Discard)
        return true;
    if (answer != QMessageBox::Save)
        return false;
    return fileName_ == kUntitledFile ? SaveSimulationAs() : SaveSimulation();
}

QImage TfrMain::ShownArena() const {
    // The view is as large as the zoomed arena; the scroll area's viewport
    // shows part of it.
    const QWidget* viewport = scrollArea_->viewport();
    const QRect shown =
        QRect(arenaView_->mapFrom(viewport, QPoint(0, 0)), viewport->size()) & arenaView_->rect();
    return arenaView_->grab(shown).toImage();
}

void TfrMain::SavePicture() {
    const QString path =
        ChooseFileToSave(this, kPictureTitle, kPictureFilter, kPictureSuffix, fileName_);
    if (path.isEmpty())
        return;
    const QImage picture = ShownArena();
    reportFailure(this, [&] { kova::SavePicture(picture, path.toLocal8Bit().toStdString()); });
}

} // namespace kova
