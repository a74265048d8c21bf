// SPDX-License-Identifier: GPL-3.0-or-later
// The string form of a script's value, as the pages' native side has always received it:
// strings as they are, numbers as JavaScript prints them, booleans as "true" / "false", and an
// empty text for everything else (undefined, null, objects, errors).
#pragma once

#include <QString>
#include <QVariant>

namespace lirra {

QString scriptResultToString(const QVariant& value);
// A number as JavaScript's String(n) prints it: 12, 0.1, 1e+21, 1.5e-7, NaN, -Infinity.
QString javaScriptNumberToString(double number);

}  // namespace lirra
