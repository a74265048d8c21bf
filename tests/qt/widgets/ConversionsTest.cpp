// The pure conversions of the Qt layer: rectangles between Qt's top-left convention and the
// desktop's lower-left one, and script values into the texts the pages' native side expects.
#include <gtest/gtest.h>

#include <limits>

#include "platform/qt/webcommon/ScriptResult.h"
#include "platform/qt/widgets/ScreenGeometry.h"

namespace lirra {
namespace {

TEST(ScreenGeometryTest, FlipsWithinTheContainerAndRoundsFractionsByTheirEdges) {
    // In a 600-high container: a rectangle 30 below the top, and the whole.
    const struct {
        QRect qt;
        Rect desktop;
    } flips[] = {{{20, 30, 100, 50}, {{20, 520}, {100, 50}}},
                 {{0, 0, 800, 600}, {{0, 0}, {800, 600}}}};
    for (const auto& f : flips) {
        EXPECT_EQ(toDesktopRect(f.qt, 600), f.desktop);
        EXPECT_EQ(toQtRect(f.desktop, 600), f.qt);
    }
    // Edges at 10.4 and 110.6 (x), 0.5 and 50.5 (y, from the bottom of a 100-high container).
    EXPECT_EQ(toQtRect(Rect{Point{10.4, 0.5}, Size{100.2, 50}}, 100), QRect(10, 49, 101, 50));
    EXPECT_EQ(toQtRect(Rect{Point{5, 5}, Size{-3, -3}}, 100).size(), QSize(0, 0));
}

TEST(ScreenGeometryTest, FittingKeepsTheShapeAndNeverGrows) {
    const struct {
        QSize content, bounds, fitted;
    } cases[] = {
        {{1280, 720}, {1600, 1000}, {1280, 720}},   // fits: unchanged
        {{1920, 1080}, {1600, 1000}, {1600, 900}},  // the width binds
        {{1920, 1080}, {2000, 900}, {1600, 900}},   // the height binds
        {{1080, 1920}, {1600, 975}, {548, 975}},    // portrait, rounded down to stay inside
        {{4000, 10}, {100, 100}, {100, 1}},         // never below one pixel
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fitWithin(c.content, c.bounds), c.fitted)
            << c.content.width() << "x" << c.content.height();
    }
}

TEST(ScriptResultTest, NumbersReadAsJavaScriptPrintsThem) {
    EXPECT_EQ(javaScriptNumberToString(-0.0), "0");
    EXPECT_EQ(javaScriptNumberToString(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(javaScriptNumberToString(1e21), "1e+21");
    EXPECT_EQ(javaScriptNumberToString(1.5e-7), "1.5e-7");
    EXPECT_EQ(javaScriptNumberToString(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(javaScriptNumberToString(-std::numeric_limits<double>::infinity()), "-Infinity");
}

// Script values other than numbers: WebViewTest (the real engine's values).

}  // namespace
}  // namespace lirra
