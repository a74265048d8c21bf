// SPDX-License-Identifier: GPL-3.0-or-later
// Which rows of a page's frame hold anything.
#include <gtest/gtest.h>

#include <vector>

#include "platform/qt/quickweb/PaintedRows.h"

namespace lirra {
namespace {

// A transparent frame but for the rows listed, each with its last pixel of the given alpha.
std::vector<std::uint8_t> frame(int width, int height,
                                const std::vector<std::pair<int, int>>& rows) {
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 4, 0);
    for (const auto& [row, alpha] : rows)
        pixels[(std::size_t(row) * width + width - 1) * 4 + 3] = std::uint8_t(alpha);
    return pixels;
}

TEST(PaintedRowsTest, RowsWithAnyAlphaInBlocksMergedWithTheirNeighbours) {
    const struct {
        const char* what;
        std::vector<std::pair<int, int>> painted;  // row, alpha
        int block;
        std::vector<RowSpan> expected;
    } cases[] = {
        {"nothing painted", {}, 1, {}},
        {"colour without alpha counts as nothing", {}, 4, {}},
        {"one faint row", {{5, 1}}, 1, {{5, 6}}},
        {"blocks round out", {{5, 255}}, 4, {{4, 8}}},
        {"touching blocks merge", {{3, 255}, {4, 255}}, 4, {{0, 8}}},
        {"a gap keeps two spans", {{0, 255}, {9, 255}}, 4, {{0, 4}, {8, 12}}},
        {"the last block is cut at the frame's end", {{19, 255}}, 8, {{16, 20}}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> pixels = frame(7, 20, c.painted);
        if (std::string(c.what).starts_with("colour"))
            for (std::size_t i = 0; i < pixels.size(); i += 4) pixels[i] = pixels[i + 1] = 200;
        EXPECT_EQ(paintedRows(pixels.data(), 7, 20, 7 * 4, c.block), c.expected) << c.what;
    }
    EXPECT_TRUE(paintedRows(nullptr, 7, 20, 28, 1).empty());
}

TEST(PaintedRowsTest, BandsAreWidenedJoinedWhenCloseAndAtMostAsManyAsAsked) {
    using Bands = std::vector<std::pair<double, double>>;
    const struct {
        const char* what;
        Bands rows;  // fractions of a 1000-pixel page
        std::size_t most;
        Bands expected;  // pixels
    } cases[] = {
        {"nothing painted", {}, 3, {}},
        {"widened, cut at the page's edges", {{0.0, 0.1}, {0.95, 1.0}}, 3, {{0, 110}, {940, 1000}}},
        {"neighbours within the margin joined", {{0.5, 0.6}, {0.615, 0.7}}, 3, {{490, 710}}},
        {"the closest pair joined first",
         {{0.1, 0.2}, {0.4, 0.5}, {0.55, 0.6}, {0.9, 0.95}},
         3,
         {{90, 210}, {390, 610}, {890, 960}}},
        {"down to one band", {{0.1, 0.2}, {0.5, 0.6}, {0.9, 0.95}}, 1, {{90, 960}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bandsOver(c.rows, 1000, 10, c.most), c.expected) << c.what;
}

// Whole from each change until its rows are read, and when a loaded page is unseen.
TEST(PageCompositionTest, WholeUntilTheRowsOfEachChangeAreReadAndWhenALoadedPageIsUnseen) {
    using Rows = PageComposition::Rows;
    const Rows line{{0.7, 0.8}};
    PageComposition page;
    const auto step = [&](const char* what, auto event, bool whole, const Rows& rows) {
        event();
        EXPECT_EQ(page.whole(), whole) << what;
        EXPECT_EQ(page.rows(), rows) << what;
    };
    step("before any reading", [] {}, true, {});
    step("read: nothing painted", [&] { page.read({}); }, false, {});
    step("changed", [&] { page.changed(); }, true, {});
    step(
        "its rows read", [&] { page.read(line); }, false, line);
    step("loaded again, read blank", [&] { page.loadEnded(), page.read({}); }, false, {});
    step("unseen a while", [&] { page.nothingSeen(); }, true, {});
    step("changed, still blank", [&] { page.changed(), page.read({}); }, true, {});
    step(
        "something painted at last", [&] { page.read(line); }, false, line);
    step(
        "loaded and seen", [&] { page.loadEnded(), page.read(line), page.nothingSeen(); }, false,
        line);
}

}  // namespace
}  // namespace lirra
