// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArgumentReadings.h"

#include <locale.h>
#include <stdlib.h>

#include <limits>
#include <string>

namespace lirra {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

qsizetype skipWhiteSpace(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) {
        ++i;
    }
    return i;
}

}  // namespace

std::int32_t intValue(const QString& text) {
    qsizetype i = skipWhiteSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // Accumulate with a ceiling so that any number of digits stays in range.
    constexpr std::int64_t kCeiling = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (magnitude <= kCeiling) {
            magnitude = magnitude * 10 + (text[i].unicode() - '0');
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

float floatValue(const QString& text) {
    qsizetype i = skipWhiteSpace(text);
    std::string number;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-')) {
            number += '-';
        }
        ++i;
    }
    int digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++digits) {
        number += static_cast<char>(text[i].unicode());
    }
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        number += '.';
        for (++i; i < text.size() && isDigit(text[i]); ++i, ++digits) {
            number += static_cast<char>(text[i].unicode());
        }
    }
    if (digits == 0) {
        return 0.0f;
    }
    // An exponent counts only when at least one digit follows its marker and sign.
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            exponent += static_cast<char>(text[j].unicode());
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            for (; j < text.size() && isDigit(text[j]); ++j) {
                exponent += static_cast<char>(text[j].unicode());
            }
            number += exponent;
        }
    }
    // The text is a plain decimal number by now; the "C" locale keeps "." the decimal point
    // whatever locale the process runs in. strtof gives an infinity on overflow, 0 on underflow.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return strtof_l(number.c_str(), nullptr, cLocale);
}

bool boolValue(const QString& text) {
    qsizetype i = skipWhiteSpace(text);
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        ++i;
    }
    while (i < text.size() && text[i] == QLatin1Char('0')) {
        ++i;
    }
    if (i >= text.size()) {
        return false;
    }
    const QChar c = text[i];
    return c == QLatin1Char('Y') || c == QLatin1Char('y') || c == QLatin1Char('T') ||
           c == QLatin1Char('t') || (c >= QLatin1Char('1') && c <= QLatin1Char('9'));
}

}  // namespace lirra
