#pragma once

#include "foundations/Extended.h"

#include <cstdint>

namespace kova {

class TStream;

// Direction in which the variance is applied to the base value.
enum VarianceType : std::uint8_t { vtplus = 0, vtminus = 1, vtplusminus = 2 };

// A randomised number: a base value with a variance of some per cent.
class TVariantExtended {
public:
    void SetApply(bool apply) { Apply = apply; }
    void SetBaseValue(Extended value) { BaseValue = value; }
    void SetDifference(std::uint8_t difference) { Difference = difference; }
    void SetSignMode(VarianceType mode) { SignMode = mode; }

    // One value from the shared generator: Random(Difference + 1) per cent of
    // the base value added or subtracted. Advances the generator once, and
    // once more under vtplusminus.
    Extended DrawValue() const;

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    std::uint8_t Difference = 0;
    Extended BaseValue = 0;
    VarianceType SignMode = vtplus;
    bool Apply = true;

    bool operator==(const TVariantExtended&) const = default;
};

} // namespace kova
