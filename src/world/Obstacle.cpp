#include "world/Obstacle.h"

#include "foundations/Streams.h"

#include <cmath>

namespace kova {

TObstacle::TObstacle(TGraphicDoc* doc) : Element(doc) {
    Element.SetBrushStyle(bsClear);
}

TObstacle::TObstacle(TGraphicDoc* doc, std::uint8_t kind, Extended x1, Extended y1, Extended x2,
                     Extended y2)
    : TObstacle(doc) {
    P1 = Vector(x1, y1);
    P2 = Vector(x2, y2);
    Shape.SetKind(kind == kCircle ? 2 : 1);
    Kind = kind;
    UpdateElement();
    UpdateGeometry();
}

void TObstacle::UpdateElement() {
    Element.SetKind(Shape.Kind);
    Element.SetTopLeft({TruncToInt32(P1[0]), TruncToInt32(P1[1])});
    Element.SetBottomRight({TruncToInt32(P2[0]), TruncToInt32(P2[1])});
}

void TObstacle::UpdateGeometry() {
    VecAdd(P1, P2, Centre);
    VecScale(Centre, Centre, 0.5L);
    Radius = fabsl(Centre[0] - P1[0]);
}

void TObstacle::SaveToStream(TStream& stream) const {
    TNamedObject::SaveToStream(stream);
    TWriter writer(stream);
    writer.WriteInteger(Reserved);
    writer.WriteFloat(Radius);
    writer.Release();
    VecWrite(P1, stream);
    VecWrite(P2, stream);
    VecWrite(Centre, stream);
    Shape.SaveToStream(stream);
    stream.WriteByte(Kind);
}

void TObstacle::LoadFromStream(TStream& stream) {
    TNamedObject::LoadFromStream(stream);
    TReader reader(stream);
    Reserved = reader.ReadInteger();
    Radius = reader.ReadFloat();
    reader.Release();
    VecRead(P1, stream);
    VecRead(P2, stream);
    VecRead(Centre, stream);
    Shape.LoadFromStream(stream);
    stream.ReadRecordByte(Kind);
}

} // namespace kova
