#include "MainWindowTests.h"

#include "render/QtCanvas.h"

#include <QPainter>

#include <optional>

using namespace kova;

namespace {

// The picture a painter gives for the ellipse the canvas is asked for: black
// one-pixel outline along the border of the figure's area.
QImage paintedDirectly(QSize size, const TRect& bounds, std::optional<QColor> brush) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(brush ? QBrush(*brush) : QBrush(Qt::NoBrush));
    const int left = std::min(bounds.left, bounds.right);
    const int top = std::min(bounds.top, bounds.bottom);
    painter.drawEllipse(QRect(left, top, std::max(std::abs(bounds.right - bounds.left) - 1, 0),
                              std::max(std::abs(bounds.bottom - bounds.top) - 1, 0)));
    return image;
}

} // namespace

class TCanvasTests : public QObject {
    Q_OBJECT

private slots:
    // Small ellipses are copied from pictures of them drawn once; the pixels
    // must be those of the ellipse drawn in place, for every size, position
    // (also half outside the image), brush colour and no brush. An image that
    // holds a part of the arena further off shows the same pixels for the
    // figure moved by as much.
    void smallEllipsesLookAsIfDrawnInPlace() {
        const QSize size(90, 70);
        const std::optional<QColor> brushes[] = {QColor(255, 0, 0), QColor(0, 128, 255),
                                                 std::nullopt};
        for (const std::optional<QColor>& brush : brushes)
            for (int width = 1; width <= 70; width += 3)
                for (const int height : {1, 2, 5, width, 66})
                    for (const QPoint at : {QPoint(10, 10), QPoint(-4, 13), QPoint(60, 50)})
                        for (const QPoint origin : {QPoint(0, 0), QPoint(1037, -5)}) {
                            QImage image(size, QImage::Format_RGB32);
                            image.fill(Qt::white);
                            TQtCanvas canvas(image);
                            canvas.SetPlacement(origin, 1);
                            if (brush) {
                                canvas.SetBrushStyle(bsSolid);
                                canvas.SetBrushColor(brush->red() | brush->green() << 8 |
                                                     brush->blue() << 16);
                            } else {
                                canvas.SetBrushStyle(bsClear);
                            }
                            const TRect bounds{at.x(), at.y(), at.x() + width, at.y() + height};
                            const TRect placed{bounds.left + origin.x(), bounds.top + origin.y(),
                                               bounds.right + origin.x(),
                                               bounds.bottom + origin.y()};
                            // Twice, so the second comes from the picture drawn
                            // for the first.
                            canvas.Ellipse(placed);
                            canvas.Ellipse(placed);
                            canvas.End();
                            const QImage expected = paintedDirectly(size, bounds, brush);
                            if (image != expected)
                                QFAIL(qPrintable(QString("ellipse %1 x %2 at (%3, %4) differs")
                                                     .arg(width)
                                                     .arg(height)
                                                     .arg(at.x())
                                                     .arg(at.y())));
                        }
    }

    // Reduced, figures land where the reduced arena has them, and each
    // covers a pixel however small it gets.
    void reducedFiguresKeepTheirPlaceAndAPixel() {
        QImage image(100, 80, QImage::Format_RGB32);
        image.fill(Qt::white);
        TQtCanvas canvas(image);
        // The image holds the arena reduced to a quarter from (50, 40) on:
        // model pixels (200, 160) to (600, 480).
        canvas.SetPlacement(QPoint(50, 40), 0.25);
        const TRect clip = canvas.ClipRect();
        QVERIFY(clip.left <= 200 && clip.top <= 160 && clip.right >= 600 && clip.bottom >= 480);
        canvas.SetBrushStyle(bsSolid);
        canvas.SetBrushColor(0x0000FF);       // red
        canvas.Ellipse({400, 320, 405, 325}); // a bug of 5 model pixels
        canvas.MoveTo({200, 400});
        canvas.LineTo({599, 400});
        canvas.End();
        QCOMPARE(canvas.ToImage(QPoint(402, 322)), QPoint(50, 40));
        QVERIFY(image.pixelColor(50, 40) != QColor(Qt::white));
        QCOMPARE(image.pixelColor(52, 42), QColor(Qt::white));
        for (int x = 0; x < 100; ++x)
            QVERIFY2(image.pixelColor(x, 60) == QColor(Qt::black), qPrintable(QString::number(x)));
        QCOMPARE(image.pixelColor(50, 61), QColor(Qt::white));
    }
};

int RunCanvasTests(int argc, char** argv) {
    TCanvasTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "CanvasTests.moc"
