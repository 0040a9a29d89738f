#include "foundations/NamedObject.h"

#include "foundations/Streams.h"

namespace kova {

namespace {
std::int32_t idCounter = 0;
}

std::int32_t IdCounter() {
    return idCounter;
}

void SetIdCounter(std::int32_t value) {
    idCounter = value;
}

std::int32_t NextId() {
    // A 32-bit counter: a file may hold an Id as high as the type goes, and the
    // next object's Id then wraps round instead of overflowing.
    idCounter = static_cast<std::int32_t>(static_cast<std::uint32_t>(idCounter) + 1u);
    return idCounter;
}

void TNamedObject::SaveToStream(TStream& stream) const {
    TWriter writer(stream);
    writer.WriteString(Name);
    writer.WriteInteger(Id);
    writer.Release();
}

void TNamedObject::LoadFromStream(TStream& stream) {
    TReader reader(stream);
    Name = reader.ReadString();
    Id = reader.ReadInteger();
    reader.Release();
}

} // namespace kova
