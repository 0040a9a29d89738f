#pragma once

#include <QString>

namespace kova {

// The folder a file dialog opens in: that of the simulation's file when it has
// one on disk, else the folder of example simulations (the working folder's
// "simulations", else the one shipped with the program), else the working
// folder. Always an absolute path of an existing folder, so that the dialog's
// name field starts empty.
QString FileDialogFolder(const QString& simulationFile);

} // namespace kova
