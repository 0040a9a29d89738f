#pragma once

#include "foundations/Extended.h"
#include "foundations/NamedObject.h"
#include "world/Canvas.h"

namespace kova {

// The arena: a rectangle in metres with a background colour. It takes no Id
// from the shared counter; its name is empty and its Id 0.
class TSpace : public TNamedObject {
public:
    TSpace() : TNamedObject(NoId{}) {}

    void SetWidth(Extended width) { Width = width; }
    void SetHeight(Extended height) { Height = height; }
    void SetColor(TColor color) { Color = color; }

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    Extended Height = 300;
    Extended Width = 400;
    TColor Color = 191 + 215 * 256 + 191 * 65536;
};

} // namespace kova
