// How the loader looks, the same in the widget and the Qt Quick stage: a wheel of twelve
// spokes, the leading one darkest, on a light background with a one-line label under it.
#pragma once

#include <QColor>

class QPainter;

namespace lirra {

inline constexpr int kLoaderSpokes = 12;
inline constexpr int kLoaderWheelDiameter = 40;
inline constexpr int kLoaderStepMs = 80;
inline constexpr int kLoaderLabelGap = 12;  // between the wheel and the label
inline const QColor kLoaderBackground(0xf4, 0xf4, 0xf4);
inline const QColor kLoaderInk(0x55, 0x55, 0x55);

// Paints the wheel at `step` centred on the painter's origin.
void paintLoaderWheel(QPainter& painter, int step);

}  // namespace lirra
