// SPDX-License-Identifier: GPL-3.0-or-later
// Points, sizes and rectangles in the desktop convention the controllers use:
// origin at the lower-left corner, y growing upwards. The Qt side converts.
#pragma once

namespace lirra {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    Point origin;
    Size size;
    bool operator==(const Rect&) const = default;
};

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    bool operator==(const Color&) const = default;
};

}  // namespace lirra
