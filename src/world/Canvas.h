#pragma once

#include <cstdint>

namespace kova {

// Colours are red + green * 256 + blue * 65536.
using TColor = std::uint32_t;

struct TPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const TRect&) const = default;
};

enum TBrushStyle : std::uint8_t { bsSolid = 0, bsClear = 1 };

// The drawing operations the arena needs. The desktop program backs it with a
// QPainter; tests record the calls.
class ICanvas {
public:
    virtual ~ICanvas() = default;
    virtual void SetBrushColor(TColor color) = 0;
    virtual void SetBrushStyle(std::uint8_t style) = 0;
    virtual void FillRect(const TRect& rect) = 0;
    virtual void MoveTo(TPoint point) = 0;
    virtual void LineTo(TPoint point) = 0;
    // Outlined with the current pen and filled with the brush.
    virtual void Ellipse(const TRect& bounds) = 0;
    virtual void Rectangle(const TRect& bounds) = 0;
    // The part of the arena, in model pixels, that the canvas's picture
    // holds; whatever is drawn outside it is lost.
    virtual TRect ClipRect() const = 0;
    // Copies the source's rectangle to this canvas's rectangle.
    virtual void CopyRect(const TRect& destination, ICanvas& source, const TRect& sourceRect) = 0;
};

// Something with a canvas for an arena whose size can be set: the arena's
// paint surface or the off-screen bitmap.
class IDrawSurface {
public:
    virtual ~IDrawSurface() = default;
    virtual ICanvas& Canvas() = 0;
    // The arena's size in model pixels. The surface's picture may hold only
    // part of it (its canvas's ClipRect).
    virtual void SetSize(int width, int height) = 0;
};

} // namespace kova
