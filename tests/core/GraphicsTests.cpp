#include "foundations/Streams.h"
#include "world/Bug.h"
#include "world/BugGroup.h"
#include "world/Graphics.h"
#include "world/Obstacle.h"
#include "world/Shape.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kova {
namespace {

using Log = std::vector<std::string>;

std::string rectText(const TRect& r) {
    std::ostringstream out;
    out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    return out.str();
}

// Records every call as "<name>.<operation>(<arguments>)" in a log that
// several canvases may share, so the order across canvases is visible.
class RecordingCanvas : public ICanvas {
public:
    RecordingCanvas(std::string name, Log& log, TRect clip)
        : name_(std::move(name)), log_(log), clip_(clip) {}

    void SetBrushColor(TColor color) override { add("brush(" + std::to_string(color) + ")"); }
    void SetBrushStyle(std::uint8_t style) override { add("style(" + std::to_string(style) + ")"); }
    void FillRect(const TRect& rect) override { add("fill(" + rectText(rect) + ")"); }
    void MoveTo(TPoint p) override {
        add("moveTo(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")");
    }
    void LineTo(TPoint p) override {
        add("lineTo(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")");
    }
    void Ellipse(const TRect& r) override { add("ellipse(" + rectText(r) + ")"); }
    void Rectangle(const TRect& r) override { add("rectangle(" + rectText(r) + ")"); }
    TRect ClipRect() const override { return clip_; }
    void CopyRect(const TRect& destination, ICanvas& source, const TRect& sourceRect) override {
        const auto* from = dynamic_cast<const RecordingCanvas*>(&source);
        add("copy(" + rectText(destination) + " from " + (from ? from->name_ : "?") + " " +
            rectText(sourceRect) + ")");
    }

private:
    void add(const std::string& call) { log_.push_back(name_ + "." + call); }

    std::string name_;
    Log& log_;
    TRect clip_;
};

class RecordingSurface : public IDrawSurface {
public:
    RecordingSurface(std::string name, Log& log, TRect clip)
        : name_(name), log_(log), canvas_(std::move(name), log, clip) {}
    ICanvas& Canvas() override { return canvas_; }
    void SetSize(int width, int height) override {
        log_.push_back(name_ + ".size(" + std::to_string(width) + "," + std::to_string(height) +
                       ")");
    }

private:
    std::string name_;
    Log& log_;
    RecordingCanvas canvas_;
};

class GraphicsTest : public testing::Test {
protected:
    void SetUp() override {
        doc.SetPaintBox(&view);
        doc.SetBuffer(std::make_unique<RecordingSurface>("buffer", log, TRect{0, 0, 640, 480}));
        doc.SetRunningFlag(&running);
        doc.SetBackgroundColor(12572607);
    }

    std::unique_ptr<TGraphicElement> element(std::uint8_t kind, TPoint a, TPoint b,
                                             TColor color = 0) {
        auto e = std::make_unique<TGraphicElement>(&doc);
        e->SetKind(kind);
        e->SetTopLeft(a);
        e->SetBottomRight(b);
        e->SetColor(color);
        return e;
    }

    Log log;
    RecordingSurface view{"view", log, TRect{-10, -20, 110, 220}};
    TGraphicDoc doc;
    bool running = false;
};

TEST_F(GraphicsTest, ElementDrawsByKindWithItsBrush) {
    const std::pair<std::uint8_t, std::string> cases[] = {
        {0, "c.rectangle(1,2,30,40)"},
        {1, "c.moveTo(1,2)"},
        {2, "c.ellipse(1,2,30,40)"},
        {7, "c.rectangle(1,2,30,40)"},
    };
    for (const auto& [kind, figure] : cases) {
        Log calls;
        RecordingCanvas canvas("c", calls, {});
        TGraphicElement e;
        EXPECT_EQ(e.Kind, 0);
        EXPECT_EQ(e.BrushStyle, 0);
        EXPECT_EQ(e.Color, 0u);
        e.SetKind(kind);
        e.SetColor(255);
        e.SetBrushStyle(kind == 2 ? 1 : 0);
        e.SetTopLeft({1, 2});
        e.SetBottomRight({30, 40});
        e.Draw(canvas);
        Log expected = {"c.brush(255)", "c.style(" + std::to_string(kind == 2 ? 1 : 0) + ")",
                        figure};
        if (kind == 1)
            expected.push_back("c.lineTo(30,40)");
        EXPECT_EQ(calls, expected) << "kind " << int(kind);
    }
}

TEST_F(GraphicsTest, TargetsDependOnDoubleBufferingAndRunning) {
    auto e = element(0, {1, 1}, {4, 4}, 99);
    for (bool doubleBuffered : {false, true}) {
        for (bool isRunning : {false, true}) {
            doc.SetDoubleBuffered(doubleBuffered);
            running = isRunning;
            const std::string target = doubleBuffered && isRunning ? "buffer" : "view";
            const std::string clip = target == "buffer" ? "0,0,640,480" : "-10,-20,110,220";

            log.clear();
            doc.Clear();
            EXPECT_EQ(log, (Log{target + ".brush(12572607)", target + ".style(0)",
                                target + ".fill(" + clip + ")"}))
                << doubleBuffered << isRunning;

            log.clear();
            doc.DrawAll();
            Log expected = {target + ".brush(99)", target + ".style(0)",
                            target + ".rectangle(1,1,4,4)"};
            if (target == "buffer")
                expected.push_back("view.copy(-10,-20,110,220 from buffer -10,-20,110,220)");
            EXPECT_EQ(log, expected) << doubleBuffered << isRunning;

            // The buffer is cleared whatever the mode.
            log.clear();
            doc.ClearBuffer();
            EXPECT_EQ(log, (Log{"buffer.brush(12572607)", "buffer.style(0)",
                                "buffer.fill(0,0,640,480)"}));
        }
    }

    // Without a running flag the document draws directly.
    TGraphicDoc plain;
    Log plainLog;
    RecordingSurface plainView("plain", plainLog, {});
    plain.SetPaintBox(&plainView);
    EXPECT_TRUE(plain.DoubleBuffered);
    plain.Clear();
    plain.DrawAll();
    EXPECT_EQ(plainLog.size(), 3u);
    EXPECT_EQ(plainLog.front(), "plain.brush(0)");
}

TEST_F(GraphicsTest, TrailsBuildUpInTheBufferUntilItIsCleared) {
    auto e = element(2, {5, 5}, {9, 9}, 7);
    running = true;
    doc.DrawAll();
    doc.DrawAll();
    log.clear();
    doc.ClearBuffer();
    doc.DrawAll();
    EXPECT_EQ(log, (Log{"buffer.brush(12572607)", "buffer.style(0)", "buffer.fill(0,0,640,480)",
                        "buffer.brush(7)", "buffer.style(0)", "buffer.ellipse(5,5,9,9)",
                        "view.copy(-10,-20,110,220 from buffer -10,-20,110,220)"}));
}

// The view's picture may hold only part of a large arena: figures wholly
// outside its clip rectangle are not handed to the canvas at all, while any
// figure that may put a pixel inside it is, whichever way round its corners
// come.
TEST_F(GraphicsTest, FiguresWhollyOutsideTheClipAreSkipped) {
    struct Case {
        std::uint8_t kind;
        TPoint from;
        TPoint to;
        bool drawn;
    };
    // The view holds x -10..109, y -20..219.
    const Case cases[] = {
        {2, {0, 0}, {5, 5}, true},
        {2, {-14, 0}, {-9, 5}, true},          // over the left edge
        {2, {-20, 0}, {-12, 5}, false},        // left of it
        {2, {111, 0}, {115, 5}, true},         // its outline may reach the right edge
        {2, {112, 0}, {120, 5}, false},        // right of it
        {0, {0, 230}, {10, 240}, false},       // below
        {0, {50, 300}, {40, 200}, true},       // corners reversed, over the bottom edge
        {1, {-500, 50}, {500, 60}, true},      // a line across, both ends outside
        {1, {500, -100}, {-500, -200}, false}, // a line above
    };
    for (const Case& c : cases) {
        auto e = element(c.kind, c.from, c.to, 5);
        log.clear();
        doc.DrawAll();
        EXPECT_EQ(!log.empty(), c.drawn) << int(c.kind) << " " << c.from.x << "," << c.from.y;
    }

    // Running double buffered, the buffer's own clip rectangle counts.
    running = true;
    auto shownInBuffer = element(2, {600, 400}, {605, 405}, 5);
    auto outsideBoth = element(2, {700, 400}, {705, 405}, 5);
    log.clear();
    doc.DrawAll();
    EXPECT_EQ(log, (Log{"buffer.brush(5)", "buffer.style(0)", "buffer.ellipse(600,400,605,405)",
                        "view.copy(-10,-20,110,220 from buffer -10,-20,110,220)"}));
}

TEST_F(GraphicsTest, BugIsDrawnAsEllipseInItsGroupColour) {
    TBugGroup group(&doc);
    group.SetColor(0x3366CC);
    auto bug = std::make_unique<TBug>(group);
    ASSERT_EQ(doc.Count(), 1u);
    EXPECT_EQ(doc.Elements(0), &bug->Element);
    bug->SetPosition(Vector(100, 50));
    bug->RefreshElement();
    EXPECT_EQ(bug->Element.Kind, 2);
    EXPECT_EQ(bug->Element.Color, 0x3366CCu);

    log.clear();
    doc.DrawAll();
    EXPECT_EQ(log, (Log{"view.brush(" + std::to_string(0x3366CC) + ")", "view.style(0)",
                        "view.ellipse(97,47,102,52)"}));

    bug.reset();
    EXPECT_EQ(doc.Count(), 0u);
    log.clear();
    doc.DrawAll();
    EXPECT_TRUE(log.empty());
}

TEST_F(GraphicsTest, ElementsStayInCreationOrderAndLeaveWithTheirOwner) {
    TBugGroup group(&doc);
    std::vector<std::unique_ptr<TBug>> bugs;
    std::vector<std::unique_ptr<TObstacle>> obstacles;
    std::vector<const TGraphicElement*> expected;
    for (int i = 0; i < 60; ++i) {
        if (i % 3 == 2) {
            obstacles.push_back(std::make_unique<TObstacle>(&doc, TObstacle::kLine, i, 0, i, 10));
            expected.push_back(&obstacles.back()->Element);
        } else {
            bugs.push_back(std::make_unique<TBug>(group));
            bugs.back()->SetPosition(Vector(i, 0));
            bugs.back()->UpdateBounds();
            expected.push_back(&bugs.back()->Element);
        }
    }
    ASSERT_EQ(doc.Count(), 60u);

    auto checkOrder = [&] {
        ASSERT_EQ(doc.Count(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(doc.Elements(i), expected[i]) << "index " << i;
        // DrawAll walks the same order.
        log.clear();
        doc.DrawAll();
        std::size_t figures = 0;
        for (const std::string& call : log)
            if (call.find("style") == std::string::npos &&
                call.find("brush") == std::string::npos && call.find("lineTo") == std::string::npos)
                ++figures;
        ASSERT_EQ(figures, expected.size());
    };

    // Remove most bugs (from the front, the back and the middle) and some
    // obstacles.
    auto removeBug = [&](std::size_t index) {
        const TGraphicElement* gone = &bugs[index]->Element;
        bugs.erase(bugs.begin() + static_cast<std::ptrdiff_t>(index));
        std::erase(expected, gone);
    };
    removeBug(0);
    removeBug(bugs.size() - 1);
    for (int i = 0; i < 20; ++i)
        removeBug(bugs.size() / 2);
    const TGraphicElement* goneObstacle = &obstacles[3]->Element;
    obstacles.erase(obstacles.begin() + 3);
    std::erase(expected, goneObstacle);
    checkOrder();

    // New elements go to the end.
    bugs.push_back(std::make_unique<TBug>(group));
    expected.push_back(&bugs.back()->Element);
    checkOrder();

    // The first drawn figure is the oldest remaining element.
    log.clear();
    doc.DrawAll();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2], "view.rectangle(-1,-2,3,2)"); // bug 1 at (1, 0), not yet refreshed

    bugs.clear();
    obstacles.clear();
    EXPECT_EQ(doc.Count(), 0u);
}

TEST_F(GraphicsTest, ApplySizeSetsViewThenBuffer) {
    doc.SetWidth(640);
    doc.SetHeight(70000); // keeps its low 16 bits
    EXPECT_EQ(doc.Width, 640);
    EXPECT_EQ(doc.Height, 70000 - 65536);
    log.clear();
    doc.ApplySize();
    EXPECT_EQ(log, (Log{"view.size(640,4464)", "buffer.size(640,4464)"}));
}

TEST(ShapeTest, DefaultsAndRecord) {
    SetIdCounter(20);
    TShape shape;
    EXPECT_EQ(shape.Id, 21);
    EXPECT_EQ(shape.Name, "");
    EXPECT_EQ(shape.Kind, 2);
    EXPECT_EQ(shape.Size, Vector(5, 5));

    TMemoryStream stream;
    shape.SaveToStream(stream);
    const std::vector<std::uint8_t> expected = {
        0x06, 0x00, 0x02, 0x15,                                           // name, Id 21
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0x01, 0x40, // 5
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0x01, 0x40, // 5
        0x02};                                                            // kind
    EXPECT_EQ(stream.Bytes(), expected);

    shape.SetName("S");
    shape.SetKind(1);
    shape.SetSize(Vector(2.5L, -7));
    TMemoryStream second;
    shape.SaveToStream(second);
    second.WriteByte(0xEE);
    second.SetPosition(0);
    TShape loaded;
    loaded.LoadFromStream(second);
    EXPECT_EQ(loaded.Name, "S");
    EXPECT_EQ(loaded.Id, 21);
    EXPECT_EQ(loaded.Kind, 1);
    EXPECT_EQ(loaded.Size, Vector(2.5L, -7));
    std::uint8_t behind = 0;
    EXPECT_EQ(second.ReadByte(behind), 1u);
    EXPECT_EQ(behind, 0xEE);
}

} // namespace
} // namespace kova
