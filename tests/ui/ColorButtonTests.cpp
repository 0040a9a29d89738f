#include "WidgetsTests.h"

#include "widgets/ColorButton.h"

#include <QColorDialog>
#include <QFrame>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

using kova::TColor;
using kova::TColorButton;

namespace {

QColor CentrePixel(const QIcon& icon, QSize size) {
    const QImage image = icon.pixmap(size).toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

QToolButton* Cell(const TColorButton& button, int index) {
    return button.PalettePopup()->findChild<QToolButton*>(
        QStringLiteral("PaletteCell%1").arg(index));
}

// Answers the colour dialog that is about to run modally, once it is up.
void AnswerColorDialog(const QColor& answer, int attemptsLeft = 200) {
    QTimer::singleShot(5, [answer, attemptsLeft] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (attemptsLeft > 0)
                AnswerColorDialog(answer, attemptsLeft - 1);
            return;
        }
        dialog->setCurrentColor(answer);
        dialog->accept();
    });
}

} // namespace

class TColorButtonTests : public QObject {
    Q_OBJECT

private slots:
    void paletteHasTwentyColoursRowByRow() {
        const std::array<std::array<int, 3>, 20> rgb = {{
            {255, 255, 255}, {255, 0, 0},   {0, 255, 0},   {0, 0, 255},   {191, 215, 191},
            {0, 0, 0},       {127, 0, 0},   {0, 127, 0},   {0, 0, 127},   {159, 191, 239},
            {191, 191, 191}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}, {255, 247, 239},
            {127, 127, 127}, {127, 127, 0}, {0, 127, 127}, {127, 0, 127}, {159, 159, 159},
        }};
        const TColorButton::TPalette& palette = TColorButton::Palette();
        QCOMPARE(palette.size(), rgb.size());
        for (std::size_t i = 0; i < rgb.size(); ++i) {
            const QColor colour = TColorButton::ToQColor(palette[i]);
            QCOMPARE(colour, QColor(rgb[i][0], rgb[i][1], rgb[i][2]));
        }
        QCOMPARE(palette[4], TColor{12572607}); // the arena's default colour

        // The cells stand in 4 columns and 5 rows, filled row by row.
        TColorButton button;
        button.PalettePopup()->adjustSize();
        for (int i = 0; i < 20; ++i) {
            QToolButton* cell = Cell(button, i);
            QVERIFY(cell != nullptr);
            QCOMPARE(CentrePixel(cell->icon(), cell->iconSize()),
                     TColorButton::ToQColor(palette[static_cast<std::size_t>(i)]));
            if (i % 4 != 0)
                QVERIFY(cell->x() > Cell(button, i - 1)->x());
            if (i >= 4) {
                QVERIFY(cell->y() > Cell(button, i - 4)->y());
                QCOMPARE(cell->x(), Cell(button, i - 4)->x());
            }
        }
        auto* other = button.PalettePopup()->findChild<QPushButton*>(QStringLiteral("OtherButton"));
        QVERIFY(other != nullptr);
        QCOMPARE(other->text(), QStringLiteral("&Other"));
        QVERIFY(other->y() > Cell(button, 19)->y());
    }

    void colourRoundTripAndLook() {
        TColorButton button;
        QSignalSpy changed(&button, &TColorButton::colorChanged);
        const TColor orange = 255 + 128 * 256 + 16 * 65536;
        button.SetColor(orange);
        QCOMPARE(button.Color(), orange);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).value<TColor>(), orange);
        button.SetColor(orange);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(CentrePixel(button.icon(), button.iconSize()), QColor(255, 128, 16));
        QCOMPARE(TColorButton::FromQColor(QColor(1, 2, 3)), TColor{1 + 2 * 256 + 3 * 65536});
    }

    void clickingAPaletteCellChoosesItsColour() {
        QWidget window;
        auto* button = new TColorButton(&window);
        QVERIFY(kova::test::ShowActive(window));
        QSignalSpy changed(button, &TColorButton::colorChanged);

        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(button->PalettePopup()->isVisible());
        QToolButton* cell = Cell(*button, 9);
        QTest::mouseClick(cell, Qt::LeftButton);
        QCOMPARE(button->Color(), TColorButton::Palette()[9]);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!button->PalettePopup()->isVisible());
        QVERIFY(cell->isChecked());
        QVERIFY(!Cell(*button, 0)->isChecked());
    }

    void otherOpensTheFreeColourChoice() {
        QWidget window;
        auto* button = new TColorButton(&window);
        QVERIFY(kova::test::ShowActive(window));
        QTest::mouseClick(button, Qt::LeftButton);
        auto* other =
            button->PalettePopup()->findChild<QPushButton*>(QStringLiteral("OtherButton"));
        AnswerColorDialog(QColor(10, 20, 30));
        QTest::mouseClick(other, Qt::LeftButton);
        QCOMPARE(button->Color(), TColor{10 + 20 * 256 + 30 * 65536});
        QVERIFY(!button->PalettePopup()->isVisible());
    }
};

int RunColorButtonTests(int argc, char** argv) {
    TColorButtonTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "ColorButtonTests.moc"
