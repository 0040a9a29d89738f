#pragma once

#include <QDialog>

class QIcon;

namespace kova {

// The about box: the program's icon, name and version. Shown without being
// modal and closed with its close box.
class TfrInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrInfo(QWidget* parent = nullptr);
};

// The program's 32 x 32 icon, drawn at run time.
QIcon ProgramIcon();

} // namespace kova
