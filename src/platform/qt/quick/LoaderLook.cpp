#include "LoaderLook.h"

#include <QPainter>

namespace lirra {

void paintLoaderWheel(QPainter& painter, int step) {
    painter.setRenderHint(QPainter::Antialiasing);
    const double outer = kLoaderWheelDiameter / 2.0 - 2;
    const double inner = outer * 0.45;
    for (int i = 0; i < kLoaderSpokes; ++i) {
        // The spoke at the current step is darkest; those behind it fade.
        const int age = (step - i + kLoaderSpokes) % kLoaderSpokes;
        QColor color = kLoaderInk;
        color.setAlphaF(1.0 - 0.8 * age / double(kLoaderSpokes - 1));
        painter.setPen(QPen(color, kLoaderWheelDiameter / 12.0, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(i * 360.0 / kLoaderSpokes);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer));
        painter.restore();
    }
}

}  // namespace lirra
