#pragma once

#include "foundations/Matrix.h"
#include "foundations/NamedObject.h"

#include <cstdint>

namespace kova {

// The stored look of a bug or an obstacle: a drawing kind (1 line, 2 ellipse,
// anything else rectangle) and its extents in metres.
class TShape : public TNamedObject {
public:
    TShape() : Size(5, 5) {}

    void SetKind(std::uint8_t kind) { Kind = kind; }
    void SetSize(const Vector& size) { Size = size; }

    // Name and Id, the size vector, then the kind as a raw byte.
    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    std::uint8_t Kind = 2;
    Vector Size;
};

} // namespace kova
