#include "widgets/ColorButton.h"

#include <QColor>
#include <QColorDialog>
#include <QFrame>
#include <QGridLayout>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace kova {

namespace {

constexpr TColor Rgb(TColor red, TColor green, TColor blue) {
    return red + green * 256 + blue * 65536;
}

constexpr QSize kSwatchSize(32, 14);
constexpr QSize kCellSwatchSize(16, 16);

QIcon Swatch(TColor color, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(TColorButton::ToQColor(color));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    return QIcon(pixmap);
}

} // namespace

const TColorButton::TPalette& TColorButton::Palette() {
    static const TPalette palette = {
        Rgb(255, 255, 255), Rgb(255, 0, 0),     Rgb(0, 255, 0),     Rgb(0, 0, 255),
        Rgb(191, 215, 191), Rgb(0, 0, 0),       Rgb(127, 0, 0),     Rgb(0, 127, 0),
        Rgb(0, 0, 127),     Rgb(159, 191, 239), Rgb(191, 191, 191), Rgb(255, 255, 0),
        Rgb(0, 255, 255),   Rgb(255, 0, 255),   Rgb(255, 247, 239), Rgb(127, 127, 127),
        Rgb(127, 127, 0),   Rgb(0, 127, 127),   Rgb(127, 0, 127),   Rgb(159, 159, 159),
    };
    return palette;
}

QColor TColorButton::ToQColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

TColor TColorButton::FromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return Rgb(static_cast<TColor>(rgb.red()), static_cast<TColor>(rgb.green()),
               static_cast<TColor>(rgb.blue()));
}

TColorButton::TColorButton(QWidget* parent) : QToolButton(parent) {
    setIconSize(kSwatchSize);
    BuildPopup();
    UpdateLook();
    connect(this, &QToolButton::clicked, this, &TColorButton::ShowPalette);
}

void TColorButton::BuildPopup() {
    popup = new QFrame(this, Qt::Popup);
    popup->setObjectName(QStringLiteral("ColorPalettePopup"));
    popup->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(popup);
    grid->setContentsMargins(3, 3, 3, 3);
    grid->setSpacing(2);
    const TPalette& palette = Palette();
    for (std::size_t i = 0; i < palette.size(); ++i) {
        auto* cell = new QToolButton(popup);
        cell->setObjectName(QStringLiteral("PaletteCell%1").arg(i));
        cell->setIconSize(kCellSwatchSize);
        cell->setIcon(Swatch(palette[i], kCellSwatchSize));
        cell->setCheckable(true);
        cell->setAutoRaise(true);
        const int index = static_cast<int>(i);
        grid->addWidget(cell, index / kPaletteColumns, index % kPaletteColumns);
        connect(cell, &QToolButton::clicked, this, [this, i] {
            popup->hide();
            SetColor(Palette()[i]);
        });
        cells[i] = cell;
    }
    auto* other = new QPushButton(tr("&Other"), popup);
    other->setObjectName(QStringLiteral("OtherButton"));
    grid->addWidget(other, kPaletteRows, 0, 1, kPaletteColumns);
    connect(other, &QPushButton::clicked, this, &TColorButton::ChooseOther);
}

void TColorButton::ShowPalette() {
    popup->adjustSize();
    popup->move(mapToGlobal(QPoint(0, height())));
    popup->show();
}

void TColorButton::ChooseOther() {
    popup->hide();
    const QColor chosen = QColorDialog::getColor(ToQColor(color), this);
    if (chosen.isValid())
        SetColor(FromQColor(chosen));
}

void TColorButton::SetColor(TColor value) {
    value &= 0xFFFFFF;
    if (value == color)
        return;
    color = value;
    UpdateLook();
    emit colorChanged(color);
}

void TColorButton::UpdateLook() {
    setIcon(Swatch(color, kSwatchSize));
    const TPalette& palette = Palette();
    for (std::size_t i = 0; i < palette.size(); ++i)
        cells[i]->setChecked(palette[i] == color);
}

} // namespace kova
