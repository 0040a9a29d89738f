#include "ui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
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

QString ChosenFile(QFileDialog& dialog) {
    QString chosen;
    QObject::connect(&dialog, &QFileDialog::fileSelected,
                     [&chosen](const QString& file) { chosen = file; });
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return chosen;
}

QString ChooseFileToSave(QWidget* parent, const QString& title, const QString& filter,
                         const QString& defaultSuffix, const QString& simulationFile) {
    QFileDialog dialog(parent, title, FileDialogFolder(simulationFile), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    return ChosenFile(dialog);
}

} // namespace kova
