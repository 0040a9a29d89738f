#include "render/QtCanvas.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kova {

namespace {

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
// Reduced figures narrower or lower than this many pixels are plain patches.
constexpr int kSmallestOutlined = 4;

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

void TQtCanvas::SetPlacement(QPoint origin, double scale) {
    origin_ = origin;
    scale_ = scale;
}

// The scaled position of a model pixel's left (or top) edge: the nearest edge
// between image pixels.
int TQtCanvas::scaledEdge(int model) const {
    return static_cast<int>(std::floor(model * scale_ + 0.5));
}

QPoint TQtCanvas::ToImage(QPoint modelPixel) const {
    if (scale_ == 1)
        return modelPixel - origin_;
    // The pixel that holds the model pixel's middle.
    return QPoint(static_cast<int>(std::floor((modelPixel.x() + 0.5) * scale_)),
                  static_cast<int>(std::floor((modelPixel.y() + 0.5) * scale_))) -
           origin_;
}

QRect TQtCanvas::imageArea(const TRect& rect) const {
    const int left = std::min(rect.left, rect.right);
    const int top = std::min(rect.top, rect.bottom);
    const int width = std::abs(rect.right - rect.left);
    const int height = std::abs(rect.bottom - rect.top);
    if (scale_ == 1)
        return QRect(left - origin_.x(), top - origin_.y(), width, height);
    // Reduced, a figure still covers a pixel, so that small bugs stay in
    // sight.
    const int scaledLeft = scaledEdge(left);
    const int scaledTop = scaledEdge(top);
    const int scaledWidth = std::max(scaledEdge(left + width) - scaledLeft, width > 0 ? 1 : 0);
    const int scaledHeight = std::max(scaledEdge(top + height) - scaledTop, height > 0 ? 1 : 0);
    return QRect(scaledLeft - origin_.x(), scaledTop - origin_.y(), scaledWidth, scaledHeight);
}

QRect TQtCanvas::imageOutline(const TRect& rect) const {
    const QRect area = imageArea(rect);
    return QRect(area.left(), area.top(), std::max(area.width() - 1, 0),
                 std::max(area.height() - 1, 0));
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
        p->fillRect(imageArea(rect), brushColor_);
}

void TQtCanvas::MoveTo(TPoint point) {
    penPosition_ = ToImage(QPoint(point.x, point.y));
}

void TQtCanvas::LineTo(TPoint point) {
    const QPoint to = ToImage(QPoint(point.x, point.y));
    if (QPainter* p = painter())
        p->drawLine(penPosition_, to);
    penPosition_ = to;
}

// Reduced to a few pixels, an outlined figure would be all outline: it is
// shown as a plain patch of its brush's colour instead, so that the groups'
// colours stay apart however far the arena is reduced.
bool TQtCanvas::drawnAsPatch(const TRect& bounds) {
    if (scale_ == 1)
        return false;
    const QRect area = imageArea(bounds);
    if (area.width() >= kSmallestOutlined && area.height() >= kSmallestOutlined)
        return false;
    QPainter* p = painter();
    if (p == nullptr)
        return true;
    const QColor color = brushClear_ ? outlinePen().color() : brushColor_;
    // Thousands of these make a reduced flock; an opaque patch is written
    // straight into the image's rows, as the painter would fill it.
    const QImage::Format format = image_.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        p->fillRect(area, color);
        return true;
    }
    const QRect inside = area & image_.rect();
    const QRgb pixel = color.rgba();
    uchar* bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + inside.left(), row + inside.right() + 1, pixel);
    }
    return true;
}

void TQtCanvas::Ellipse(const TRect& bounds) {
    if (drawnAsPatch(bounds))
        return;
    QPainter* p = painter();
    if (p == nullptr)
        return;
    const QRect outline = imageOutline(bounds);
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
    if (drawnAsPatch(bounds))
        return;
    if (QPainter* p = painter())
        p->drawRect(imageOutline(bounds));
}

TRect TQtCanvas::ClipRect() const {
    if (scale_ == 1)
        return {origin_.x(), origin_.y(), origin_.x() + image_.width(),
                origin_.y() + image_.height()};
    // Every model pixel that may touch the image, with a pixel of the image
    // to spare on each side for the rounding.
    const auto model = [this](int scaled) { return scaled / scale_; };
    return {static_cast<int>(std::floor(model(origin_.x() - 1))),
            static_cast<int>(std::floor(model(origin_.y() - 1))),
            static_cast<int>(std::ceil(model(origin_.x() + image_.width() + 1))),
            static_cast<int>(std::ceil(model(origin_.y() + image_.height() + 1)))};
}

void TQtCanvas::CopyRect(const TRect& destination, ICanvas& source, const TRect& sourceRect) {
    auto* from = dynamic_cast<TQtCanvas*>(&source);
    if (from == nullptr || from == this)
        return;
    from->End();
    QRect to = imageArea(destination);
    QRect taken = from->imageArea(sourceRect);
    if (to.size() == taken.size()) {
        // A plain copy of the part that both images hold.
        const QPoint shift = to.topLeft() - taken.topLeft();
        taken &= from->image_.rect() & image_.rect().translated(-shift);
        to = taken.translated(shift);
    }
    if (taken.isEmpty())
        return;
    if (QPainter* p = painter()) {
        p->setCompositionMode(QPainter::CompositionMode_Source);
        p->drawImage(to, from->image_, taken);
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

// --- TQtSurface ----------------------------------------------------------------

TQtSurface::TQtSurface(std::function<void()> changed, std::function<void(int, int)> resized)
    : canvas_(image_, std::move(changed)), resized_(std::move(resized)) {}

void TQtSurface::SetSize(int width, int height) {
    arena_ = QSize(std::max(width, 0), std::max(height, 0));
    place();
    if (resized_)
        resized_(arena_.width(), arena_.height());
}

void TQtSurface::ShowArea(QRect area, double scale) {
    wholeArena_ = false;
    area_ = area;
    // A picture of the whole arena in a few pixels is as small as it gets.
    constexpr double kSmallestScale = 1.0 / 1024;
    scale_ = std::clamp(scale, kSmallestScale, 1.0);
    place();
}

void TQtSurface::place() {
    const QRect arena(0, 0, static_cast<int>(std::ceil(arena_.width() * scale_)),
                      static_cast<int>(std::ceil(arena_.height() * scale_)));
    QRect placement = wholeArena_ ? arena : area_ & arena;
    if (placement.isEmpty())
        placement = QRect();
    canvas_.SetPlacement(placement.topLeft(), scale_);
    if (placement == placement_ && scale_ == placedScale_ && image_.size() == placement.size())
        return;
    canvas_.End();
    placement_ = placement;
    placedScale_ = scale_;
    if (image_.size() != placement.size())
        image_ = placement.isEmpty() ? QImage() : QImage(placement.size(), QImage::Format_RGB32);
    if (!image_.isNull())
        image_.fill(Qt::white);
}

} // namespace kova
