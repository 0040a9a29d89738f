#include "ui/Info.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>

namespace kova {

namespace {

const char* const kCaption = "Info";
const char* const kProductName = "kova";
const char* const kVersion = "Version 1.0 - 04.2000";

} // namespace

QIcon ProgramIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(191, 215, 191));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(QRectF(5, 6, 8, 8));
    painter.drawEllipse(QRectF(18, 9, 8, 8));
    painter.setBrush(QColor(30, 30, 200));
    painter.drawEllipse(QRectF(11, 19, 8, 8));
    return QIcon(pixmap);
}

TfrInfo::TfrInfo(QWidget* parent) : QDialog(parent) {
    setObjectName("frInfo");
    setWindowTitle(kCaption);
    setModal(false);

    auto* icon = new QLabel;
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* name = new QLabel(kProductName);
    name->setObjectName("ProductLabel");
    QFont font("Arial");
    font.setPixelSize(48);
    font.setBold(true);
    name->setFont(font);
    auto* version = new QLabel(kVersion);
    version->setObjectName("VersionLabel");

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(version, 0, Qt::AlignBottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace kova
