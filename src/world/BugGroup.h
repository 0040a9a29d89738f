#pragma once

#include "foundations/NamedObject.h"
#include "world/Bug.h"
#include "world/Canvas.h"
#include "world/NeighbourGrid.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kova {

class TGraphicDoc;

// A named set of bugs made from one template. The group gives its members
// their drawing colour; the template gives them their values, behaviours and
// triggers.
class TBugGroup : public TNamedObject {
public:
    // Members' graphic elements enter the given drawing document (none for a
    // group that is never drawn).
    explicit TBugGroup(TGraphicDoc* doc, std::string name = "Group");
    ~TBugGroup() override;

    void SetColor(TColor color) { Color = color; }
    TGraphicDoc* Doc() const { return doc_; }
    // The document that members created from now on draw in.
    void SetDoc(TGraphicDoc* doc) { doc_ = doc; }

    // Name and Id, colour and member count, the template, then every member.
    void SaveToStream(TStream& stream) const;
    // Reads name and Id, colour and the template; returns the stored member
    // count. The loader then reads that many member records.
    std::int32_t LoadHeaderFromStream(TStream& stream);

    TColor Color = 255;
    std::vector<std::unique_ptr<TBug>> Members;
    TDefaultBug Template;
    // Where the members stand, for the neighbour searches of one member loop.
    TNeighbourGrid Neighbours;

private:
    TGraphicDoc* doc_ = nullptr;
};

} // namespace kova
