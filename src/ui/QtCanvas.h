#pragma once

#include "world/Canvas.h"

#include <QColor>
#include <QImage>
#include <QPoint>

#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

class QPainter;

namespace kova {

QColor ToQColor(TColor color);

// The core's drawing interface on a QImage. A painter is opened on the image
// at the first drawing operation and stays open until End(), so that a frame
// of thousands of figures costs one painter, not one per figure. The pen is
// black and one pixel wide.
class TQtCanvas final : public ICanvas {
public:
    // `changed` is called when drawing starts after an End(), so the owner can
    // schedule one repaint per burst of drawing.
    explicit TQtCanvas(QImage& image, std::function<void()> changed = {});
    ~TQtCanvas() override;
    TQtCanvas(const TQtCanvas&) = delete;
    TQtCanvas& operator=(const TQtCanvas&) = delete;

    void SetBrushColor(TColor color) override;
    void SetBrushStyle(std::uint8_t style) override;
    void FillRect(const TRect& rect) override;
    void MoveTo(TPoint point) override;
    void LineTo(TPoint point) override;
    void Ellipse(const TRect& bounds) override;
    void Rectangle(const TRect& bounds) override;
    TRect ClipRect() const override;
    void CopyRect(const TRect& destination, ICanvas& source, const TRect& sourceRect) override;

    // Finishes the drawing in progress; needed before the image is shown,
    // copied or resized.
    void End();
    const QImage& Image() const { return image_; }

private:
    QPainter* painter();
    void applyBrush();
    struct TSprite;
    const TSprite* ellipseSprite(const QRect& outline);
    bool copySprite(const TSprite& sprite, QPoint at);

    QImage& image_;
    std::function<void()> changed_;
    std::unique_ptr<QPainter> painter_;
    QColor brushColor_ = Qt::black;
    bool brushClear_ = false;
    QPoint penPosition_;
    // Small ellipses, as the painter draws them with the current brush, by
    // size and brush: a bug is drawn by copying its picture, which costs far
    // less than drawing the ellipse again. Without antialiasing every pixel
    // of a picture is opaque or transparent, so the picture is copied as its
    // rows' runs of opaque pixels.
    struct TSpriteRun {
        int Row;
        int First;
        int End;
    };
    struct TSprite {
        QImage Image;
        // False when a pixel is only partly covered: the picture is then
        // blended.
        bool Copyable = true;
        std::vector<TSpriteRun> Runs;
    };
    static TSprite spriteOf(QImage image);
    using TSpriteKey = std::tuple<int, int, bool, QRgb>;
    std::map<TSpriteKey, TSprite> sprites_;
};

// An off-screen picture of settable size with its canvas: the double buffer,
// and the persistent picture behind the arena view.
class TQtSurface final : public IDrawSurface {
public:
    explicit TQtSurface(std::function<void()> changed = {},
                        std::function<void(int, int)> resized = {});

    ICanvas& Canvas() override { return canvas_; }
    TQtCanvas& QtCanvas() { return canvas_; }
    // The new picture is white until something fills it.
    void SetSize(int width, int height) override;
    const QImage& Image() const { return image_; }

private:
    QImage image_;
    TQtCanvas canvas_;
    std::function<void(int, int)> resized_;
};

} // namespace kova
