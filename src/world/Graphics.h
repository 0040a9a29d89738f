#pragma once

#include "world/Canvas.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kova {

class TGraphicDoc;

// One drawable figure in view coordinates. An element constructed with a
// document enters that document's list at once and leaves it when destroyed,
// so the drawing order is the order of creation.
class TGraphicElement {
public:
    explicit TGraphicElement(TGraphicDoc* doc = nullptr);
    virtual ~TGraphicElement();
    TGraphicElement(const TGraphicElement&) = delete;
    TGraphicElement& operator=(const TGraphicElement&) = delete;

    void SetColor(TColor color) { Color = color; }
    void SetKind(std::uint8_t kind) { Kind = kind; }
    void SetTopLeft(TPoint point) { TopLeft = point; }
    void SetBottomRight(TPoint point) { BottomRight = point; }
    void SetBrushStyle(std::uint8_t style) { BrushStyle = style; }

    // Kind 1 draws a line, 2 an ellipse, anything else a rectangle, outlined
    // with the canvas's pen and filled with this element's brush.
    virtual void Draw(ICanvas& canvas) const;

    TColor Color = 0;
    std::uint8_t Kind = 0;
    TPoint TopLeft;
    TPoint BottomRight;
    std::uint8_t BrushStyle = bsSolid;

private:
    friend class TGraphicDoc;
    TGraphicDoc* doc_ = nullptr;
    std::size_t slot_ = 0; // position in the document's list
};

// The drawing document of the arena view: every element in creation order,
// the background colour, the view size and the off-screen buffer used while
// the simulation runs double buffered. It does not own its elements.
class TGraphicDoc {
public:
    TGraphicDoc();
    ~TGraphicDoc();
    TGraphicDoc(const TGraphicDoc&) = delete;
    TGraphicDoc& operator=(const TGraphicDoc&) = delete;

    std::size_t Count() const;
    TGraphicElement* Elements(std::size_t index) const;

    void SetPaintBox(IDrawSurface* paintBox) { PaintBox = paintBox; }
    // The desktop program hands in its off-screen image; the default buffer
    // draws nothing.
    void SetBuffer(std::unique_ptr<IDrawSurface> buffer);
    IDrawSurface& Buffer() const { return *buffer_; }
    void SetBackgroundColor(TColor color) { BackgroundColor = color; }
    // Width and height keep their low 16 bits.
    void SetWidth(std::int64_t width) { Width = static_cast<std::uint16_t>(width); }
    void SetHeight(std::int64_t height) { Height = static_cast<std::uint16_t>(height); }
    void SetDoubleBuffered(bool on) { DoubleBuffered = on; }
    // The simulation's running flag, which decides where a run draws.
    void SetRunningFlag(const bool* running) { running_ = running; }

    // Paint surface, then buffer, take Width x Height.
    void ApplySize();
    // Fills the target canvas's clip rectangle with the background colour.
    // A surface's clip rectangle is the part of the arena its picture holds,
    // which may be less than Width x Height.
    void Clear();
    // Every element in list order on the target, except those wholly outside
    // its clip rectangle; when drawing to the buffer, the visible part is then
    // copied to the paint surface in one operation.
    void DrawAll();
    // Fills the whole buffer with the background colour.
    void ClearBuffer();
    // Moves every element of the other document to the end of this one,
    // keeping their order.
    void TakeElementsFrom(TGraphicDoc& other);

    IDrawSurface* PaintBox = nullptr;
    TColor BackgroundColor = 0;
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    bool DoubleBuffered = true;

private:
    friend class TGraphicElement;
    void add(TGraphicElement* element);
    void remove(TGraphicElement* element);
    void compact() const;
    bool drawsToBuffer() const;

    std::unique_ptr<IDrawSurface> buffer_;
    const bool* running_ = nullptr;
    // Removed elements leave a hole that is squeezed out later, so that removing
    // many elements (a whole group) stays linear.
    mutable std::vector<TGraphicElement*> items_;
    mutable std::size_t holes_ = 0;
};

} // namespace kova
