// SPDX-License-Identifier: GPL-3.0-or-later
// application/x-www-form-urlencoded, written the way browsers submit forms.
#pragma once

#include <QByteArray>
#include <QString>

namespace lirra {

// Encodes `value` as UTF-8 and then byte by byte: ASCII letters, digits and "*-._" stay, a
// space becomes "+", every other byte becomes "%XX" (upper-case hex). QUrlQuery is not used:
// it leaves "+", "&" and "=" alone, which a form decoder reads as a space and as separators.
QByteArray formUrlEncode(const QString& value);

}  // namespace lirra
