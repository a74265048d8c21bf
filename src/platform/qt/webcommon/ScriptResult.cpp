#include "ScriptResult.h"

#include <charconv>
#include <cmath>
#include <string>

namespace lirra {

QString javaScriptNumberToString(double number) {
    if (std::isnan(number)) return QStringLiteral("NaN");
    if (std::isinf(number))
        return number > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (number == 0) return QStringLiteral("0");  // -0 too
    char buffer[64];
    const double magnitude = std::fabs(number);
    // Shortest digits that read back as the same double, like JavaScript; plain notation in
    // [1e-6, 1e21), exponent notation outside it.
    const bool plain = magnitude >= 1e-6 && magnitude < 1e21;
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, number,
                      plain ? std::chars_format::fixed : std::chars_format::scientific);
    std::string text(buffer, result.ptr);
    if (!plain) {
        // C writes e-07 / e+21; JavaScript writes e-7 / e+21.
        const auto e = text.find('e');
        std::string mantissa = text.substr(0, e);
        const char sign = text[e + 1];
        std::string digits = text.substr(e + 2);
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
        text = mantissa + 'e' + (sign == '-' ? '-' : '+') + digits;
    }
    return QString::fromStdString(text);
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
