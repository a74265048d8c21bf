// SPDX-License-Identifier: GPL-3.0-or-later
// Which rows of a transparent page's frame hold anything: a page over the video paints a line or
// two and its controls, and with software GL blending the whole window every frame costs as much
// as drawing the video. Only those rows are composed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace lirra {

struct RowSpan {
    int top = 0;     // first row
    int bottom = 0;  // one past the last
    bool operator==(const RowSpan&) const = default;
};

// The spans of rows with any pixel whose alpha is not 0, in blocks of `block` rows (a span
// starts and ends on a block's edge, or the image's), neighbouring spans merged. `pixels` holds
// `height` rows of `width` RGBA pixels, `stride` bytes apart.
std::vector<RowSpan> paintedRows(const std::uint8_t* pixels, int width, int height, int stride,
                                 int block);

// The bands a page is shown through: `rows` (fractions of its height, top first) in pixels of a
// page `height` high, each widened by `margin` on both sides, neighbours closer than `margin`
// joined, and then the closest neighbours joined until there are at most `most`.
std::vector<std::pair<double, double>> bandsOver(const std::vector<std::pair<double, double>>& rows,
                                                 double height, double margin, std::size_t most);

// What a transparent page is composed over, from what its probe reports: the whole page until
// the first reading, and again from a change until the reading of that change (so that nothing
// new shows cut by the rows of what was painted before), else the rows read. A page of which
// nothing painted has been read for a while after its load is composed whole too, until rows
// that hold something are read: whatever a page paints reaches the screen, even when its probe
// missed it.
class PageComposition {
  public:
    using Rows = std::vector<std::pair<double, double>>;  // fractions of the page's height

    bool whole() const { return whole_ || unseen_; }
    const Rows& rows() const { return rows_; }

    // A load of the page ended: the caller calls nothingSeen() a while after, unless rows that
    // hold something have been read by then.
    void loadEnded() { seenSinceLoad_ = false; }
    bool seenSinceLoad() const { return seenSinceLoad_; }
    void nothingSeen() { unseen_ = !seenSinceLoad_; }

    void changed() { whole_ = true; }
    void read(Rows rows) {
        rows_ = std::move(rows);
        whole_ = false;
        if (!rows_.empty()) seenSinceLoad_ = true, unseen_ = false;
    }

  private:
    Rows rows_;
    bool whole_ = true;
    bool seenSinceLoad_ = false;
    bool unseen_ = false;
};

}  // namespace lirra
