#pragma once

#include "foundations/NamedObject.h"
#include "world/Bug.h"

#include <cstdint>
#include <string>

namespace kova {

// A time trigger: at Second : Frame it applies its template's ticked values,
// and optionally its behaviours and combination method, to every bug that
// lists it.
class TTrigger : public TNamedObject {
public:
    // A new trigger changes nothing until values are ticked: every apply flag
    // of its template is off.
    explicit TTrigger(std::string name);

    void SetSecond(std::int32_t second) { Second = second; }
    void SetFrame(std::int32_t frame) { Frame = frame; }
    void SetChangeBehaviours(bool on) { ChangeBehaviours = on; }
    void SetReservedFlag(bool flag) { ReservedFlag = flag; }
    void SetReservedByte(std::uint8_t byte) { ReservedByte = byte; }

    bool IsDue(std::uint32_t second, std::uint32_t frame) const {
        return static_cast<std::uint32_t>(Second) == second &&
               static_cast<std::uint32_t>(Frame) == frame;
    }
    // Applies the trigger to one bug. With ChangeBehaviours the bug steers with
    // the template's own list, shared rather than copied.
    void Fire(TBug& bug) const;

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    TDefaultBug Template;
    bool ReservedFlag = false;
    std::int32_t Second = 1;
    std::int32_t Frame = 0;
    std::uint8_t ReservedByte = 0;
    bool ChangeBehaviours = false;
};

} // namespace kova
