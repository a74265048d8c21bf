// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptResult.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace lirra {

QString javaScriptNumberToString(double number) {
    if (std::isnan(number)) return QStringLiteral("NaN");
    if (std::isinf(number))
        return number > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (number == 0) return QStringLiteral("0");  // -0 too
    // The shortest digits that read back as the same double, d.ddde±x, laid out as JavaScript's
    // Number.prototype.toString does: the value is 0.digits × 10^n.
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(number),
                                   std::chars_format::scientific)
                         .ptr;
    const std::string text(buffer, end);
    const auto e = text.find('e');
    std::string digits = text.substr(0, e);
    if (digits.size() > 1) digits.erase(1, 1);  // the point
    const int k = int(digits.size());
    const int n = std::stoi(text.substr(e + 1)) + 1;
    std::string out = number < 0 ? "-" : "";
    if (k <= n && n <= 21) {
        out += digits + std::string(n - k, '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, n) + '.' + digits.substr(n);
    } else if (-6 < n && n <= 0) {
        out += "0." + std::string(-n, '0') + digits;
    } else {
        out += digits.substr(0, 1) + (k > 1 ? "." + digits.substr(1) : "") + 'e' +
               (n - 1 < 0 ? '-' : '+') + std::to_string(std::abs(n - 1));
    }
    return QString::fromStdString(out);
}

QString scriptResultToString(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::QString:
            return value.toString();
        case QMetaType::Bool:
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
            return javaScriptNumberToString(value.toDouble());
        default:
            return QString();
    }
}

}  // namespace lirra
