#include "PaintedRows.h"

#include <algorithm>

namespace lirra {

namespace {

bool rowPainted(const std::uint8_t* row, int width) {
    for (int x = 0; x < width; ++x) {
        if (row[x * 4 + 3] != 0) return true;
    }
    return false;
}

}  // namespace

std::vector<RowSpan> paintedRows(const std::uint8_t* pixels, int width, int height, int stride,
                                 int block) {
    std::vector<RowSpan> spans;
    if (!pixels || width <= 0 || height <= 0 || block <= 0) return spans;
    for (int top = 0; top < height; top += block) {
        const int bottom = std::min(height, top + block);
        bool painted = false;
        for (int y = top; y < bottom && !painted; ++y)
            painted = rowPainted(pixels + y * stride, width);
        if (!painted) continue;
        if (!spans.empty() && spans.back().bottom == top) {
            spans.back().bottom = bottom;
        } else {
            spans.push_back(RowSpan{top, bottom});
        }
    }
    return spans;
}

}  // namespace lirra
