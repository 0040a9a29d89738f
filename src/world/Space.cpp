#include "world/Space.h"

#include "foundations/Streams.h"

namespace kova {

void TSpace::SaveToStream(TStream& stream) const {
    TNamedObject::SaveToStream(stream);
    TWriter writer(stream);
    writer.WriteFloat(Width);
    writer.WriteFloat(Height);
    writer.WriteInteger(static_cast<std::int32_t>(Color));
    writer.Release();
}

void TSpace::LoadFromStream(TStream& stream) {
    TNamedObject::LoadFromStream(stream);
    TReader reader(stream);
    Width = reader.ReadFloat();
    Height = reader.ReadFloat();
    Color = static_cast<TColor>(reader.ReadInteger());
    reader.Release();
}

} // namespace kova
