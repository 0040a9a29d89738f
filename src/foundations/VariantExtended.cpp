#include "foundations/VariantExtended.h"

#include "foundations/Random.h"
#include "foundations/Streams.h"

namespace kova {

Extended TVariantExtended::DrawValue() const {
    const std::uint32_t k = Random(static_cast<std::uint32_t>(Difference) + 1);
    const Extended d = (static_cast<Extended>(k) / 100) * BaseValue;
    switch (SignMode) {
    case vtminus:
        return BaseValue - d;
    case vtplusminus:
        return Random(2) == 1 ? BaseValue - d : BaseValue + d;
    case vtplus:
    default:
        // Files and edits only produce the three known modes; anything else
        // behaves as vtplus.
        return BaseValue + d;
    }
}

void TVariantExtended::SaveToStream(TStream& stream) const {
    TWriter writer(stream);
    writer.WriteInteger(Difference);
    writer.WriteFloat(BaseValue);
    writer.WriteBoolean(Apply);
    writer.Release();
    stream.WriteByte(SignMode);
}

void TVariantExtended::LoadFromStream(TStream& stream) {
    TReader reader(stream);
    Difference = static_cast<std::uint8_t>(reader.ReadInteger());
    BaseValue = reader.ReadFloat();
    Apply = reader.ReadBoolean();
    reader.Release();
    std::uint8_t mode = SignMode;
    stream.ReadRecordByte(mode);
    SignMode = static_cast<VarianceType>(mode);
}

} // namespace kova
