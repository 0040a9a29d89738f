#include "world/BugGroup.h"

#include "foundations/Streams.h"

namespace kova {

TBugGroup::TBugGroup(TGraphicDoc* doc, std::string name) : doc_(doc) {
    Name = std::move(name);
}

TBugGroup::~TBugGroup() = default;

void TBugGroup::SaveToStream(TStream& stream) const {
    TNamedObject::SaveToStream(stream);
    TWriter writer(stream);
    writer.WriteInteger(static_cast<std::int32_t>(Color));
    writer.WriteInteger(static_cast<std::int32_t>(Members.size()));
    writer.Release();
    Template.SaveToStream(stream);
    for (const auto& member : Members)
        member->SaveToStream(stream);
}

std::int32_t TBugGroup::LoadHeaderFromStream(TStream& stream) {
    TNamedObject::LoadFromStream(stream);
    TReader reader(stream);
    Color = static_cast<TColor>(reader.ReadInteger());
    const std::int32_t memberCount = reader.ReadInteger();
    reader.Release();
    Template.LoadFromStream(stream);
    return memberCount;
}

} // namespace kova
