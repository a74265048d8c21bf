// SPDX-License-Identifier: GPL-3.0-or-later
// The three readings the pages' command arguments get: integer, decimal and truth. They are
// lenient on purpose: a page's bad argument becomes 0, 0.0 or false, never an error.
#pragma once

#include <QString>
#include <cstdint>

namespace lirra {

// Leading white space, an optional sign, then the longest run of decimal digits; the rest is
// ignored. No digits gives 0; values beyond the 32-bit range give the nearest limit.
std::int32_t intValue(const QString& text);

// Leading white space, then the longest prefix that is a decimal number (sign, digits, point,
// exponent); none gives 0. Hexadecimal forms, "inf" and "nan" are not numbers here. Values
// beyond the float range give an infinity of the same sign.
float floatValue(const QString& text);

// Leading white space, an optional sign and leading zeros are skipped; true when the next
// character is Y, y, T, t or a digit 1 to 9.
bool boolValue(const QString& text);

}  // namespace lirra
