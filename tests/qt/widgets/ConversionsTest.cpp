// The pure conversions of the Qt layer: rectangles between Qt's top-left convention and the
// desktop's lower-left one, and script values into the texts the pages' native side expects.
#include <gtest/gtest.h>

#include <QVariantList>
#include <QVariantMap>
#include <limits>

#include "platform/qt/widgets/GlIntegration.h"
#include "platform/qt/widgets/ScreenGeometry.h"
#include "platform/qt/widgets/ScriptResult.h"

namespace lirra {
namespace {

TEST(ScreenGeometryTest, FlipsWithinTheContainerAndRoundTrips) {
    // A 100x50 rectangle whose top is 30 below the top of a 600-high screen.
    const QRect qt(20, 30, 100, 50);
    const Rect desktop = toDesktopRect(qt, 600);
    EXPECT_EQ(desktop, (Rect{Point{20, 520}, Size{100, 50}}));
    EXPECT_EQ(toQtRect(desktop, 600), qt);
    // Touching the bottom edge is y 0; filling the container is its bounds.
    EXPECT_EQ(toDesktopRect(QRect(0, 550, 10, 50), 600).origin.y, 0);
    EXPECT_EQ(toQtRect(Rect{Point{0, 0}, Size{800, 600}}, 600), QRect(0, 0, 800, 600));
}

TEST(ScreenGeometryTest, FractionalRectanglesRoundByTheirEdges) {
    // Edges at 10.4 and 110.6 (x), 0.5 and 50.5 (y, from the bottom of a 100-high container).
    const QRect rounded = toQtRect(Rect{Point{10.4, 0.5}, Size{100.2, 50}}, 100);
    EXPECT_EQ(rounded.left(), 10);
    EXPECT_EQ(rounded.width(), 101);  // 111 - 10
    EXPECT_EQ(rounded.top(), 100 - 51);
    EXPECT_EQ(rounded.height(), 50);  // (100-1) - (100-51)
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
        {{1600, 1000}, {1600, 1000}, {1600, 1000}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fitWithin(c.content, c.bounds), c.fitted)
            << c.content.width() << "x" << c.content.height();
    }
}

TEST(GlIntegrationTest, EglOnX11OnlyWhereAGpuCouldDecodeTheVideo) {
    const struct {
        std::optional<std::string> hwdec;
        bool gpu, userChose, onWayland, egl;
    } cases[] = {
        {std::nullopt, true, false, false, true},  // the default probes a GPU
        {"vaapi", true, false, false, true},
        {std::nullopt, false, false, false, false},  // no GPU: nothing changes
        {"vaapi", false, false, false, false},
        {"no", true, false, false, false},         // decoding in software
        {std::nullopt, true, true, false, false},  // the user's QT_XCB_GL_INTEGRATION stays
        {std::nullopt, true, false, true, false},  // Wayland is EGL already
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shouldPreferEgl(c.hwdec, c.gpu, c.userChose, c.onWayland), c.egl)
            << c.hwdec.value_or("(default)") << " gpu " << c.gpu << " chose " << c.userChose
            << " wayland " << c.onWayland;
    }
}

TEST(ScriptResultTest, NumbersReadAsJavaScriptPrintsThem) {
    EXPECT_EQ(javaScriptNumberToString(12.0), "12");
    EXPECT_EQ(javaScriptNumberToString(-0.0), "0");
    EXPECT_EQ(javaScriptNumberToString(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(javaScriptNumberToString(123.456), "123.456");
    EXPECT_EQ(javaScriptNumberToString(-2.5), "-2.5");
    EXPECT_EQ(javaScriptNumberToString(1e20), "100000000000000000000");
    EXPECT_EQ(javaScriptNumberToString(1e21), "1e+21");
    EXPECT_EQ(javaScriptNumberToString(1.5e-7), "1.5e-7");
    EXPECT_EQ(javaScriptNumberToString(0.000001), "0.000001");
    EXPECT_EQ(javaScriptNumberToString(-1.2345e300), "-1.2345e+300");
    EXPECT_EQ(javaScriptNumberToString(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(javaScriptNumberToString(-std::numeric_limits<double>::infinity()), "-Infinity");
}

TEST(ScriptResultTest, ValuesOtherThanStringsNumbersAndBooleansAreEmpty) {
    EXPECT_EQ(scriptResultToString(QVariant(QStringLiteral("abc"))), "abc");
    EXPECT_EQ(scriptResultToString(QVariant(QString())), "");
    EXPECT_EQ(scriptResultToString(QVariant(12)), "12");
    EXPECT_EQ(scriptResultToString(QVariant(12.0)), "12");
    EXPECT_EQ(scriptResultToString(QVariant(qint64(1) << 40)), "1099511627776");
    EXPECT_EQ(scriptResultToString(QVariant(2.75)), "2.75");
    EXPECT_EQ(scriptResultToString(QVariant(true)), "true");
    EXPECT_EQ(scriptResultToString(QVariant(false)), "false");
    EXPECT_EQ(scriptResultToString(QVariant()), "");
    EXPECT_EQ(scriptResultToString(QVariant(QVariantList{1, 2})), "");
    EXPECT_EQ(scriptResultToString(QVariant(QVariantMap{{"a", 1}})), "");
}

}  // namespace
}  // namespace lirra
