// SPDX-License-Identifier: GPL-3.0-or-later
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

std::vector<std::pair<double, double>> bandsOver(const std::vector<std::pair<double, double>>& rows,
                                                 double height, double margin, std::size_t most) {
    std::vector<std::pair<double, double>> bands;
    for (const auto& [top, bottom] : rows) {
        const double from = std::max(0.0, top * height - margin);
        const double to = std::min(height, bottom * height + margin);
        if (!bands.empty() && from <= bands.back().second + margin) {
            bands.back().second = std::max(bands.back().second, to);
        } else {
            bands.emplace_back(from, to);
        }
    }
    while (most > 0 && bands.size() > most) {
        std::size_t closest = 0;
        for (std::size_t i = 1; i + 1 < bands.size(); ++i) {
            if (bands[i + 1].first - bands[i].second <
                bands[closest + 1].first - bands[closest].second)
                closest = i;
        }
        bands[closest].second = bands[closest + 1].second;
        bands.erase(bands.begin() + std::ptrdiff_t(closest) + 1);
    }
    return bands;
}

}  // namespace lirra
