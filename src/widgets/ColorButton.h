#pragma once

#include "world/Canvas.h"

#include <QToolButton>

#include <array>

class QColor;
class QFrame;

namespace kova {

// A button that shows a colour. Clicking it pops up a palette of 4 columns by
// 5 rows (cells named PaletteCell0 to PaletteCell19, row by row) and an
// "&Other" button (OtherButton) that opens the free colour dialog.
class TColorButton : public QToolButton {
    Q_OBJECT

public:
    static constexpr int kPaletteColumns = 4;
    static constexpr int kPaletteRows = 5;
    using TPalette = std::array<TColor, kPaletteColumns * kPaletteRows>;

    // The palette's colours, row by row.
    static const TPalette& Palette();

    static QColor ToQColor(TColor color);
    static TColor FromQColor(const QColor& color);

    explicit TColorButton(QWidget* parent = nullptr);

    TColor Color() const { return color; }
    // Emits colorChanged when the colour differs from the present one.
    void SetColor(TColor value);

    // The palette pop-up window, shown by a click on the button.
    QFrame* PalettePopup() const { return popup; }

signals:
    void colorChanged(kova::TColor color);

public slots:
    void ShowPalette();

private:
    void BuildPopup();
    void ChooseOther();
    void UpdateLook();

    TColor color = 0;
    QFrame* popup = nullptr;
    std::array<QToolButton*, kPaletteColumns * kPaletteRows> cells{};
};

} // namespace kova
