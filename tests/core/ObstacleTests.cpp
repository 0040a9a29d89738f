#include "foundations/Streams.h"
#include "world/Graphics.h"
#include "world/Obstacle.h"

#include <gtest/gtest.h>

#include <memory>

namespace kova {
namespace {

TEST(ObstacleTest, BareObstacleDefaults) {
    TGraphicDoc doc;
    SetIdCounter(10);
    TObstacle obstacle(&doc);
    EXPECT_EQ(obstacle.Id, 11);
    EXPECT_EQ(obstacle.Shape.Id, 12);
    EXPECT_EQ(obstacle.Reserved, 0);
    EXPECT_EQ(obstacle.Kind, TObstacle::kCircle);
    EXPECT_EQ(obstacle.Radius, 0);
    EXPECT_EQ(obstacle.P1, Vector(0, 0));
    EXPECT_EQ(obstacle.P2, Vector(0, 0));
    EXPECT_EQ(obstacle.Centre, Vector(0, 0));
    EXPECT_EQ(obstacle.Shape.Kind, 2);
    EXPECT_EQ(obstacle.Shape.Size, Vector(5, 5));
    EXPECT_EQ(obstacle.Element.BrushStyle, bsClear);
    ASSERT_EQ(doc.Count(), 1u);
    EXPECT_EQ(doc.Elements(0), &obstacle.Element);
}

TEST(ObstacleTest, Geometry) {
    TGraphicDoc doc;

    const TObstacle circle(&doc, TObstacle::kCircle, 100, 100, 130, 130);
    EXPECT_EQ(circle.Centre, Vector(115, 115));
    EXPECT_EQ(circle.Radius, 15);
    EXPECT_EQ(circle.Shape.Kind, 2);
    EXPECT_EQ(circle.Element.Kind, 2);
    EXPECT_EQ(circle.Element.TopLeft, (TPoint{100, 100}));
    EXPECT_EQ(circle.Element.BottomRight, (TPoint{130, 130}));
    EXPECT_EQ(circle.Element.BrushStyle, bsClear);

    // Corners in the other order keep their order in the element.
    const TObstacle reversed(&doc, TObstacle::kCircle, 130, 70, 100, 100);
    EXPECT_EQ(reversed.Centre, Vector(115, 85));
    EXPECT_EQ(reversed.Radius, 15);
    EXPECT_EQ(reversed.Element.TopLeft, (TPoint{130, 70}));
    EXPECT_EQ(reversed.Element.BottomRight, (TPoint{100, 100}));

    const TObstacle line(&doc, TObstacle::kLine, 10, 20, 50, 20);
    EXPECT_EQ(line.Kind, TObstacle::kLine);
    EXPECT_EQ(line.Shape.Kind, 1);
    EXPECT_EQ(line.Element.Kind, 1);
    EXPECT_EQ(line.Centre, Vector(30, 20));
    EXPECT_EQ(line.Radius, 20);
    EXPECT_EQ(line.Element.TopLeft, (TPoint{10, 20}));
    EXPECT_EQ(line.Element.BottomRight, (TPoint{50, 20}));

    // The radius is the horizontal half-extent only.
    const TObstacle flat(&doc, TObstacle::kCircle, 0, 0, 40, 10);
    EXPECT_EQ(flat.Radius, 20);
    EXPECT_EQ(flat.Centre, Vector(20, 5));

    // Fractional corners are truncated towards zero.
    const TObstacle fractional(&doc, TObstacle::kLine, 10.9L, -0.5L, -3.7L, 8.99L);
    EXPECT_EQ(fractional.Element.TopLeft, (TPoint{10, 0}));
    EXPECT_EQ(fractional.Element.BottomRight, (TPoint{-3, 8}));
    EXPECT_EQ(fractional.P1, Vector(10.9L, -0.5L));

    EXPECT_EQ(doc.Count(), 5u);
}

TEST(ObstacleTest, RecordRoundTrip) {
    TGraphicDoc doc;
    TObstacle obstacle(&doc, TObstacle::kLine, 10.5L, 20, 50, 21.25L);
    obstacle.SetName("Obstacle_3_Line");
    obstacle.Reserved = -7;
    TMemoryStream stream;
    obstacle.SaveToStream(stream);
    stream.WriteByte(0xEE);

    TObstacle loaded(&doc);
    stream.SetPosition(0);
    loaded.LoadFromStream(stream);
    std::uint8_t behind = 0;
    ASSERT_EQ(stream.ReadByte(behind), 1u);
    EXPECT_EQ(behind, 0xEE);
    EXPECT_EQ(loaded.Name, "Obstacle_3_Line");
    EXPECT_EQ(loaded.Id, obstacle.Id);
    EXPECT_EQ(loaded.Reserved, -7);
    EXPECT_EQ(loaded.P1, obstacle.P1);
    EXPECT_EQ(loaded.P2, obstacle.P2);
    EXPECT_EQ(loaded.Centre, obstacle.Centre);
    EXPECT_EQ(loaded.Radius, obstacle.Radius);
    EXPECT_EQ(loaded.Kind, TObstacle::kLine);
    EXPECT_EQ(loaded.Shape.Kind, 1);
    EXPECT_EQ(loaded.Shape.Id, obstacle.Shape.Id);
    loaded.UpdateElement();
    EXPECT_EQ(loaded.Element.Kind, 1);
    EXPECT_EQ(loaded.Element.TopLeft, (TPoint{10, 20}));
    EXPECT_EQ(loaded.Element.BottomRight, (TPoint{50, 21}));

    // Centre and radius come from the record, not from the corners.
    TMemoryStream edited;
    obstacle.Radius = 99;
    obstacle.Centre = Vector(-1, -2);
    obstacle.SaveToStream(edited);
    edited.SetPosition(0);
    TObstacle fromFile(&doc);
    fromFile.LoadFromStream(edited);
    EXPECT_EQ(fromFile.Radius, 99);
    EXPECT_EQ(fromFile.Centre, Vector(-1, -2));
}

TEST(ObstacleTest, RecordLayoutEndsWithTheKindByte) {
    TGraphicDoc doc;
    TObstacle obstacle(&doc, TObstacle::kLine, 0, 0, 2, 0);
    obstacle.SetId(3);
    obstacle.Shape.SetId(4);
    TMemoryStream stream;
    obstacle.SaveToStream(stream);
    const auto& bytes = stream.Bytes();
    // name+Id 4, Reserved 2, Radius 11, three vectors 66, shape 4+22+1, kind 1.
    ASSERT_EQ(bytes.size(), 4u + 2 + 11 + 66 + 27 + 1);
    EXPECT_EQ(bytes[4], 0x02); // Reserved as Integer 0
    EXPECT_EQ(bytes[5], 0x00);
    EXPECT_EQ(bytes[6], 0x05);                // Radius as Float
    EXPECT_EQ(bytes[bytes.size() - 2], 0x01); // shape kind byte
    EXPECT_EQ(bytes.back(), 0x01);            // obstacle kind byte

    // The parts in their order.
    obstacle.Reserved = 5;
    obstacle.P1 = Vector(1, 2);
    obstacle.P2 = Vector(3, 4);
    obstacle.Centre = Vector(5, 6);
    obstacle.Radius = 7;
    obstacle.Shape.SetSize(Vector(8, 9));
    TMemoryStream parts;
    obstacle.SaveToStream(parts);
    parts.SetPosition(0);
    TNamedObject named;
    named.LoadFromStream(parts);
    EXPECT_EQ(named.Id, 3);
    TReader reader(parts);
    EXPECT_EQ(reader.ReadInteger(), 5);
    EXPECT_EQ(reader.ReadFloat(), 7);
    reader.Release();
    for (const Vector& expected : {Vector(1, 2), Vector(3, 4), Vector(5, 6)}) {
        Vector v;
        VecRead(v, parts);
        EXPECT_EQ(v, expected);
    }
    TShape shape;
    shape.LoadFromStream(parts);
    EXPECT_EQ(shape.Id, 4);
    EXPECT_EQ(shape.Size, Vector(8, 9));
    std::uint8_t kind = 0;
    EXPECT_EQ(parts.ReadByte(kind), 1u);
    EXPECT_EQ(kind, TObstacle::kLine);
}

TEST(ObstacleTest, ElementLeavesTheDocumentWithTheObstacle) {
    TGraphicDoc doc;
    auto first = std::make_unique<TObstacle>(&doc, TObstacle::kCircle, 0, 0, 10, 10);
    auto second = std::make_unique<TObstacle>(&doc, TObstacle::kLine, 0, 0, 10, 10);
    ASSERT_EQ(doc.Count(), 2u);
    first.reset();
    ASSERT_EQ(doc.Count(), 1u);
    EXPECT_EQ(doc.Elements(0), &second->Element);
}

} // namespace
} // namespace kova
