// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace lirra {

namespace {

// Reply texts are JavaScript expressions: the C library's "inf" and "nan" would not be.
std::optional<QString> nonFiniteText(double value) {
    if (std::isnan(value)) {
        return QStringLiteral("NaN");
    }
    if (std::isinf(value)) {
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    }
    return std::nullopt;
}

template <typename T>
bool tryInteger(const std::any& value, QString& out) {
    if (const T* number = std::any_cast<T>(&value)) {
        out = QString::number(*number);
        return true;
    }
    return false;
}

}  // namespace

QString stringValue(float value) {
    if (auto text = nonFiniteText(value)) {
        return *text;
    }
    // Like %.7g: whole numbers without a point, no trailing zeros; independent of the locale.
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString stringValue(double value) {
    if (auto text = nonFiniteText(value)) {
        return *text;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

std::optional<QString> stringValue(const std::any& value) {
    QString text;
    if (tryInteger<int>(value, text) || tryInteger<unsigned>(value, text) ||
        tryInteger<long>(value, text) || tryInteger<unsigned long>(value, text) ||
        tryInteger<long long>(value, text) || tryInteger<unsigned long long>(value, text) ||
        tryInteger<short>(value, text) || tryInteger<unsigned short>(value, text)) {
        return text;
    }
    if (const float* number = std::any_cast<float>(&value)) {
        return stringValue(*number);
    }
    if (const double* number = std::any_cast<double>(&value)) {
        return stringValue(*number);
    }
    return std::nullopt;
}

}  // namespace lirra
