#include "world/Graphics.h"

#include <algorithm>

namespace kova {

namespace {

// A canvas that draws nothing, for the document's default buffer.
class TNullCanvas : public ICanvas {
public:
    void SetBrushColor(TColor) override {}
    void SetBrushStyle(std::uint8_t) override {}
    void FillRect(const TRect&) override {}
    void MoveTo(TPoint) override {}
    void LineTo(TPoint) override {}
    void Ellipse(const TRect&) override {}
    void Rectangle(const TRect&) override {}
    TRect ClipRect() const override { return {}; }
    void CopyRect(const TRect&, ICanvas&, const TRect&) override {}
};

class TNullSurface : public IDrawSurface {
public:
    ICanvas& Canvas() override { return canvas_; }
    void SetSize(int, int) override {}

private:
    TNullCanvas canvas_;
};

TRect boundsOf(const TGraphicElement& element) {
    return {element.TopLeft.x, element.TopLeft.y, element.BottomRight.x, element.BottomRight.y};
}

// Whether any pixel of the element can land inside the rectangle. The
// figure's corners may come either way round, a line covers both its ends,
// and a one-pixel outline may stray a pixel beyond its figure's area; this
// much room on each side keeps every such pixel.
constexpr std::int64_t kStrayPixels = 2;

bool mayShowIn(const TGraphicElement& element, const TRect& clip) {
    const std::int64_t left = std::min(element.TopLeft.x, element.BottomRight.x);
    const std::int64_t right = std::max(element.TopLeft.x, element.BottomRight.x);
    const std::int64_t top = std::min(element.TopLeft.y, element.BottomRight.y);
    const std::int64_t bottom = std::max(element.TopLeft.y, element.BottomRight.y);
    return right + kStrayPixels > clip.left && left - kStrayPixels < clip.right &&
           bottom + kStrayPixels > clip.top && top - kStrayPixels < clip.bottom;
}

// Draws the elements that can show in the canvas's clip rectangle: a view of
// part of a large arena skips the rest for the price of a comparison each.
void drawShown(const std::vector<TGraphicElement*>& elements, ICanvas& canvas) {
    const TRect clip = canvas.ClipRect();
    for (const TGraphicElement* element : elements)
        if (element != nullptr && mayShowIn(*element, clip))
            element->Draw(canvas);
}

} // namespace

// --- TGraphicElement -------------------------------------------------------

TGraphicElement::TGraphicElement(TGraphicDoc* doc) {
    if (doc != nullptr)
        doc->add(this);
}

TGraphicElement::~TGraphicElement() {
    if (doc_ != nullptr)
        doc_->remove(this);
}

void TGraphicElement::Draw(ICanvas& canvas) const {
    canvas.SetBrushColor(Color);
    canvas.SetBrushStyle(BrushStyle);
    switch (Kind) {
    case 1:
        canvas.MoveTo(TopLeft);
        canvas.LineTo(BottomRight);
        break;
    case 2:
        canvas.Ellipse(boundsOf(*this));
        break;
    default:
        canvas.Rectangle(boundsOf(*this));
        break;
    }
}

// --- TGraphicDoc -----------------------------------------------------------

TGraphicDoc::TGraphicDoc() : buffer_(std::make_unique<TNullSurface>()) {}

TGraphicDoc::~TGraphicDoc() {
    for (TGraphicElement* element : items_)
        if (element != nullptr)
            element->doc_ = nullptr;
}

void TGraphicDoc::SetBuffer(std::unique_ptr<IDrawSurface> buffer) {
    buffer_ = buffer ? std::move(buffer) : std::make_unique<TNullSurface>();
}

void TGraphicDoc::add(TGraphicElement* element) {
    element->doc_ = this;
    element->slot_ = items_.size();
    items_.push_back(element);
}

void TGraphicDoc::remove(TGraphicElement* element) {
    items_[element->slot_] = nullptr;
    element->doc_ = nullptr;
    ++holes_;
    if (holes_ * 2 > items_.size())
        compact();
}

void TGraphicDoc::compact() const {
    if (holes_ == 0)
        return;
    std::size_t next = 0;
    for (TGraphicElement* element : items_) {
        if (element == nullptr)
            continue;
        element->slot_ = next;
        items_[next++] = element;
    }
    items_.resize(next);
    holes_ = 0;
}

std::size_t TGraphicDoc::Count() const {
    return items_.size() - holes_;
}

TGraphicElement* TGraphicDoc::Elements(std::size_t index) const {
    compact();
    return items_.at(index);
}

bool TGraphicDoc::drawsToBuffer() const {
    return DoubleBuffered && running_ != nullptr && *running_;
}

void TGraphicDoc::ApplySize() {
    if (PaintBox != nullptr)
        PaintBox->SetSize(Width, Height);
    buffer_->SetSize(Width, Height);
}

void TGraphicDoc::Clear() {
    IDrawSurface* target = drawsToBuffer() ? buffer_.get() : PaintBox;
    if (target == nullptr)
        return;
    ICanvas& canvas = target->Canvas();
    canvas.SetBrushColor(BackgroundColor);
    canvas.SetBrushStyle(bsSolid);
    canvas.FillRect(canvas.ClipRect());
}

void TGraphicDoc::DrawAll() {
    if (drawsToBuffer()) {
        ICanvas& bufferCanvas = buffer_->Canvas();
        drawShown(items_, bufferCanvas);
        if (PaintBox != nullptr) {
            ICanvas& view = PaintBox->Canvas();
            const TRect visible = view.ClipRect();
            view.CopyRect(visible, bufferCanvas, visible);
        }
        return;
    }
    if (PaintBox == nullptr)
        return;
    drawShown(items_, PaintBox->Canvas());
}

void TGraphicDoc::ClearBuffer() {
    ICanvas& canvas = buffer_->Canvas();
    canvas.SetBrushColor(BackgroundColor);
    canvas.SetBrushStyle(bsSolid);
    canvas.FillRect(canvas.ClipRect());
}

void TGraphicDoc::TakeElementsFrom(TGraphicDoc& other) {
    other.compact();
    for (TGraphicElement* element : other.items_)
        add(element);
    other.items_.clear();
}

} // namespace kova
