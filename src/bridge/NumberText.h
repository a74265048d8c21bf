// SPDX-License-Identifier: GPL-3.0-or-later
// The decimal text of a number held in a promise's value, as it goes into a reply script.
#pragma once

#include <QString>
#include <any>
#include <optional>

namespace lirra {

// Integers (any built-in integer type) as plain decimal integers; a float with at most 7
// significant digits and a double with the fewest digits that read back the same, both
// without trailing zeros (1 not 1.0, 0.5); infinities and NaN as the JavaScript words.
// None for an empty value or one that is not a number.
std::optional<QString> stringValue(const std::any& value);

// The same for a float or a double given directly.
QString stringValue(float value);
QString stringValue(double value);

}  // namespace lirra
