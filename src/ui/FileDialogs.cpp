#include "ui/FileDialogs.h"

#include <QDir>
#include <QFileInfo>

namespace kova {

QString FileDialogFolder(const QString& simulationFile) {
    const QFileInfo file(simulationFile);
    if (!simulationFile.isEmpty() && file.isFile())
        return file.absolutePath();
    for (const QString& examples :
         {QDir::current().filePath("simulations"), QStringLiteral(KOVA_EXAMPLES_DIR)})
        if (QFileInfo(examples).isDir())
            return QDir(examples).absolutePath();
    return QDir::currentPath();
}

} // namespace kova
