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
//
// The image may hold part of the arena, and the arena reduced: the core draws
// in model pixels, which the canvas places and scales into the image. Scaled,
// every figure keeps a one-pixel outline and covers at least one pixel; one
// of less than four pixels across is a plain patch of its brush's colour.
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

    // Where the image lies: its top-left pixel is `origin` in the arena
    // scaled by `scale` (at most 1; at 1 the origin is a model pixel).
    void SetPlacement(QPoint origin, double scale);
    // The image pixel that shows a model pixel; it may lie outside the image.
    QPoint ToImage(QPoint modelPixel) const;

private:
    // A model rectangle's area in the image: left and top edges included,
    // right and bottom ones not, whichever way round the corners come.
    QRect imageArea(const TRect& rect) const;
    // The rectangle whose one-pixel outline runs along that area's border.
    QRect imageOutline(const TRect& rect) const;
    int scaledEdge(int model) const;
    bool drawnAsPatch(const TRect& bounds);
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
    QPoint origin_;
    double scale_ = 1;
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

// An off-screen picture of an arena of settable size with its canvas: the
// double buffer, and the persistent picture behind the arena view. The
// picture holds the whole arena one model pixel to a pixel until ShowArea
// chooses a part of it, and perhaps a reduction.
class TQtSurface final : public IDrawSurface {
public:
    explicit TQtSurface(std::function<void()> changed = {},
                        std::function<void(int, int)> resized = {});

    ICanvas& Canvas() override { return canvas_; }
    TQtCanvas& QtCanvas() { return canvas_; }
    // The arena's size in model pixels. A picture that changes its place or
    // size is white until something fills it.
    void SetSize(int width, int height) override;
    // The picture holds this rectangle of the arena scaled by `scale` (at
    // most 1; at 1 the rectangle is in model pixels), as far as the arena
    // reaches.
    void ShowArea(QRect area, double scale);
    QRect Area() const { return area_; }
    double Scale() const { return scale_; }
    // The part of the scaled arena the picture holds: Area() within the arena.
    QRect Placement() const { return placement_; }
    const QImage& Image() const { return image_; }

private:
    void place();

    QImage image_;
    TQtCanvas canvas_;
    std::function<void(int, int)> resized_;
    QSize arena_;
    bool wholeArena_ = true;
    QRect area_;
    double scale_ = 1;
    QRect placement_;
    double placedScale_ = 1;
};

} // namespace kova
