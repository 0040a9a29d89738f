#pragma once

#include <cstdint>
#include <string>

namespace kova {

class TStream;

// The process-wide Id counter. Every named object takes the next value when
// it is constructed; the first object of a run gets 1. Only the group loader
// (and tests) set it directly.
std::int32_t IdCounter();
void SetIdCounter(std::int32_t value);
std::int32_t NextId();

// Base of every stored object: a display name and an identity number used by
// the simulation file to refer from one object to another.
class TNamedObject {
public:
    TNamedObject() : Id(NextId()) {}
    // For objects that take no Id from the counter (the arena).
    struct NoId {};
    explicit TNamedObject(NoId) {}
    virtual ~TNamedObject() = default;

    void SetName(std::string name) { Name = std::move(name); }
    void SetId(std::int32_t id) { Id = id; }

    // Name (String) and Id (Integer) with a writer (reader) of their own. Loading
    // replaces both and leaves the Id counter alone.
    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    std::string Name;
    std::int32_t Id = 0;

protected:
    TNamedObject(const TNamedObject&) = default;
    TNamedObject& operator=(const TNamedObject&) = default;
};

} // namespace kova
