#include "world/Shape.h"

#include "foundations/Streams.h"

namespace kova {

void TShape::SaveToStream(TStream& stream) const {
    TNamedObject::SaveToStream(stream);
    VecWrite(Size, stream);
    stream.WriteByte(Kind);
}

void TShape::LoadFromStream(TStream& stream) {
    TNamedObject::LoadFromStream(stream);
    VecRead(Size, stream);
    stream.ReadRecordByte(Kind);
}

} // namespace kova
