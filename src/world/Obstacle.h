#pragma once

#include "foundations/Matrix.h"
#include "foundations/NamedObject.h"
#include "world/Graphics.h"
#include "world/Shape.h"

#include <cstdint>

namespace kova {

// A fixed circle (Kind 0, given by the corners of its bounding box) or line
// segment (Kind 1, given by its end points) that bugs can steer around.
class TObstacle : public TNamedObject {
public:
    enum : std::uint8_t { kCircle = 0, kLine = 1 };

    // A bare obstacle, as the loader makes it before reading its record.
    explicit TObstacle(TGraphicDoc* doc);
    TObstacle(TGraphicDoc* doc, std::uint8_t kind, Extended x1, Extended y1, Extended x2,
              Extended y2);

    // Copies the figure into the graphic element: the shape's kind and the two
    // points truncated to whole pixels.
    void UpdateElement();
    // Centre := (P1 + P2) / 2; Radius := |Centre.x - P1.x|.
    void UpdateGeometry();

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    std::int32_t Reserved = 0;
    Vector P1;
    Vector P2;
    TShape Shape;
    TGraphicElement Element;
    std::uint8_t Kind = kCircle;
    Extended Radius = 0;
    Vector Centre;
};

} // namespace kova
