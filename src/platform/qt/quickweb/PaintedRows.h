// Which rows of a transparent page's frame hold anything: a page over the video paints a line or
// two and its controls, and with software GL blending the whole window every frame costs as much
// as drawing the video. Only those rows are composed.
#pragma once

#include <cstdint>
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

}  // namespace lirra
