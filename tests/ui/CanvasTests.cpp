#include "MainWindowTests.h"

#include "ui/QtCanvas.h"

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
    // (also half outside the image), brush colour and no brush.
    void smallEllipsesLookAsIfDrawnInPlace() {
        const QSize size(90, 70);
        const std::optional<QColor> brushes[] = {QColor(255, 0, 0), QColor(0, 128, 255),
                                                 std::nullopt};
        for (const std::optional<QColor>& brush : brushes)
            for (int width = 1; width <= 70; width += 3)
                for (const int height : {1, 2, 5, width, 66})
                    for (const QPoint at : {QPoint(10, 10), QPoint(-4, 13), QPoint(60, 50)}) {
                        QImage image(size, QImage::Format_RGB32);
                        image.fill(Qt::white);
                        TQtCanvas canvas(image);
                        if (brush) {
                            canvas.SetBrushStyle(bsSolid);
                            canvas.SetBrushColor(brush->red() | brush->green() << 8 |
                                                 brush->blue() << 16);
                        } else {
                            canvas.SetBrushStyle(bsClear);
                        }
                        const TRect bounds{at.x(), at.y(), at.x() + width, at.y() + height};
                        // Twice, so the second comes from the picture drawn
                        // for the first.
                        canvas.Ellipse(bounds);
                        canvas.Ellipse(bounds);
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
};

int RunCanvasTests(int argc, char** argv) {
    TCanvasTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "CanvasTests.moc"
