#include "ui/QtCanvas.h"

#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace kova {

namespace {

// A figure's rectangle covers its left and top edges but not its right and
// bottom ones, whichever way round the corners are given.
QRect areaOf(const TRect& rect) {
    const int left = std::min(rect.left, rect.right);
    const int top = std::min(rect.top, rect.bottom);
    return QRect(left, top, std::abs(rect.right - rect.left), std::abs(rect.bottom - rect.top));
}

// The rectangle whose one-pixel outline runs along the area's border.
QRect outlineOf(const TRect& rect) {
    const QRect area = areaOf(rect);
    return QRect(area.left(), area.top(), std::max(area.width() - 1, 0),
                 std::max(area.height() - 1, 0));
}

// The pen of every figure.
const QPen& outlinePen() {
    static const QPen pen(Qt::black, 1);
    return pen;
}

// Ellipses up to this size are copied from a picture; a margin round the
// picture keeps any pixel of the outline that strays from its rectangle.
constexpr int kLargestSprite = 64;
constexpr int kSpriteMargin = 2;
constexpr std::size_t kMostSprites = 256;

} // namespace

QColor ToQColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

// --- TQtCanvas -----------------------------------------------------------------

TQtCanvas::TQtCanvas(QImage& image, std::function<void()> changed)
    : image_(image), changed_(std::move(changed)) {}

TQtCanvas::~TQtCanvas() {
    End();
}

QPainter* TQtCanvas::painter() {
    if (painter_)
        return painter_.get();
    if (image_.isNull())
        return nullptr;
    painter_ = std::make_unique<QPainter>(&image_);
    painter_->setPen(outlinePen());
    applyBrush();
    if (changed_)
        changed_();
    return painter_.get();
}

void TQtCanvas::End() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

void TQtCanvas::applyBrush() {
    if (!painter_)
        return;
    // Every bug sets its colour before it is drawn, mostly the colour of the
    // bug before it; changing the painter's brush costs far more than this
    // comparison.
    const QBrush& current = painter_->brush();
    const bool same = brushClear_
                          ? current.style() == Qt::NoBrush
                          : current.style() == Qt::SolidPattern && current.color() == brushColor_;
    if (!same)
        painter_->setBrush(brushClear_ ? QBrush(Qt::NoBrush) : QBrush(brushColor_));
}

void TQtCanvas::SetBrushColor(TColor color) {
    brushColor_ = ToQColor(color);
    applyBrush();
}

void TQtCanvas::SetBrushStyle(std::uint8_t style) {
    brushClear_ = style == bsClear;
    applyBrush();
}

void TQtCanvas::FillRect(const TRect& rect) {
    if (QPainter* p = painter())
        p->fillRect(areaOf(rect), brushColor_);
}

void TQtCanvas::MoveTo(TPoint point) {
    penPosition_ = QPoint(point.x, point.y);
}

void TQtCanvas::LineTo(TPoint point) {
    const QPoint to(point.x, point.y);
    if (QPainter* p = painter())
        p->drawLine(penPosition_, to);
    penPosition_ = to;
}

void TQtCanvas::Ellipse(const TRect& bounds) {
    QPainter* p = painter();
    if (p == nullptr)
        return;
    const QRect outline = outlineOf(bounds);
    const QPoint spriteAt = outline.topLeft() - QPoint(kSpriteMargin, kSpriteMargin);
    if (const TSprite* sprite = ellipseSprite(outline)) {
        if (!copySprite(*sprite, spriteAt))
            p->drawImage(spriteAt, sprite->Image);
    } else {
        p->drawEllipse(outline);
    }
}

// Opaque pixels are stored alike in the 32-bit formats, so the runs can be
// copied straight into the image's rows; the painter draws nothing in
// between, and it writes to the same rows.
bool TQtCanvas::copySprite(const TSprite& sprite, QPoint at) {
    const QImage::Format format = image_.format();
    if (!sprite.Copyable)
        return false;
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    const int width = image_.width();
    const int height = image_.height();
    uchar* bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (const TSpriteRun& run : sprite.Runs) {
        const int y = at.y() + run.Row;
        if (y < 0 || y >= height)
            continue;
        const int first = std::max(at.x() + run.First, 0);
        const int end = std::min(at.x() + run.End, width);
        if (first >= end)
            continue;
        const auto* from = reinterpret_cast<const QRgb*>(sprite.Image.constScanLine(run.Row));
        auto* to = reinterpret_cast<QRgb*>(bits + y * stride);
        std::copy(from + (first - at.x()), from + (end - at.x()), to + first);
    }
    return true;
}

// Without antialiasing the raster engine covers whole pixels, so an ellipse
// drawn at the origin and copied to a whole-pixel position gives the pixels of
// the same ellipse drawn there. Only the painter's usual state qualifies:
// black one-pixel pen, opaque or no brush, plain drawing.
const TQtCanvas::TSprite* TQtCanvas::ellipseSprite(const QRect& outline) {
    if (outline.width() > kLargestSprite || outline.height() > kLargestSprite)
        return nullptr;
    if (painter_->pen() != outlinePen() || painter_->testRenderHint(QPainter::Antialiasing) ||
        painter_->compositionMode() != QPainter::CompositionMode_SourceOver ||
        painter_->hasClipping() || !painter_->transform().isIdentity() || painter_->opacity() != 1)
        return nullptr;
    const TSpriteKey key{outline.width(), outline.height(), brushClear_, brushColor_.rgba()};
    if (auto found = sprites_.find(key); found != sprites_.end())
        return &found->second;
    if (sprites_.size() >= kMostSprites)
        sprites_.clear();
    QImage sprite(outline.width() + 1 + 2 * kSpriteMargin, outline.height() + 1 + 2 * kSpriteMargin,
                  QImage::Format_ARGB32_Premultiplied);
    sprite.fill(Qt::transparent);
    QPainter draw(&sprite);
    draw.setPen(painter_->pen());
    draw.setBrush(painter_->brush());
    draw.drawEllipse(QRect(kSpriteMargin, kSpriteMargin, outline.width(), outline.height()));
    draw.end();
    return &sprites_.emplace(key, spriteOf(std::move(sprite))).first->second;
}

TQtCanvas::TSprite TQtCanvas::spriteOf(QImage image) {
    TSprite sprite{std::move(image), true, {}};
    const QImage& picture = sprite.Image;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width();) {
            const int alpha = qAlpha(row[x]);
            if (alpha != 255) {
                if (alpha != 0)
                    return {std::move(sprite.Image), false, {}};
                ++x;
                continue;
            }
            const int first = x;
            while (x < picture.width() && qAlpha(row[x]) == 255)
                ++x;
            sprite.Runs.push_back({y, first, x});
        }
    }
    return sprite;
}

void TQtCanvas::Rectangle(const TRect& bounds) {
    if (QPainter* p = painter())
        p->drawRect(outlineOf(bounds));
}

TRect TQtCanvas::ClipRect() const {
    return {0, 0, image_.width(), image_.height()};
}

void TQtCanvas::CopyRect(const TRect& destination, ICanvas& source, const TRect& sourceRect) {
    auto* from = dynamic_cast<TQtCanvas*>(&source);
    if (from == nullptr || from == this)
        return;
    from->End();
    if (QPainter* p = painter()) {
        p->setCompositionMode(QPainter::CompositionMode_Source);
        p->drawImage(areaOf(destination), from->image_, areaOf(sourceRect));
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

// --- TQtSurface ----------------------------------------------------------------

TQtSurface::TQtSurface(std::function<void()> changed, std::function<void(int, int)> resized)
    : canvas_(image_, std::move(changed)), resized_(std::move(resized)) {}

void TQtSurface::SetSize(int width, int height) {
    canvas_.End();
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (image_.width() != width || image_.height() != height) {
        image_ = QImage(width, height, QImage::Format_RGB32);
        image_.fill(Qt::white);
    }
    if (resized_)
        resized_(width, height);
}

} // namespace kova
