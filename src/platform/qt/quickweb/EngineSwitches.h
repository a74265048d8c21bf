// SPDX-License-Identifier: GPL-3.0-or-later
// The web engine's own switches, given before it starts. The home page and the player page
// come from one site (the service): they share one renderer process instead of one each, which
// would hold a second copy of the engine's working memory.
#pragma once

#include <QByteArray>

namespace lirra {

// `given` (QTWEBENGINE_CHROMIUM_FLAGS as found) followed by each of our switches it does not
// name already, so that a switch given there wins.
QByteArray withEngineSwitches(const QByteArray& given);

// Puts them in QTWEBENGINE_CHROMIUM_FLAGS. Call before QtWebEngineQuick::initialize().
void setEngineSwitches();

}  // namespace lirra
