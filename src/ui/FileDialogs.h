#pragma once

#include <QString>

class QFileDialog;
class QWidget;

namespace kova {

// The folder a file dialog opens in: that of the simulation's file when it has
// one on disk, else the folder of example simulations (the working folder's
// "simulations", else the one shipped with the program), else the working
// folder. Always an absolute path of an existing folder, so that the dialog's
// name field starts empty.
QString FileDialogFolder(const QString& simulationFile);

// Runs the dialog; the file the user accepted, or an empty text. Taken from
// the dialog's signal at the moment of acceptance: the dialog's own list may
// still change while its folder is being read in the background.
QString ChosenFile(QFileDialog& dialog);

// Asks for a file to save to, starting in FileDialogFolder(simulationFile);
// the name the user accepted, or an empty text when cancelled.
QString ChooseFileToSave(QWidget* parent, const QString& title, const QString& filter,
                         const QString& defaultSuffix, const QString& simulationFile);

} // namespace kova
