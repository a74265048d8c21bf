// SPDX-License-Identifier: GPL-3.0-or-later
// `lirra --hash PATH_OR_URL`: shows what Lirra sends to the subtitle service for a video.
#pragma once

#include <QString>

#include "platform/UrlConnection.h"
#include "state/VideoLocation.h"

namespace lirra {

// Prints "<hash text> <size in bytes>" on stdout and returns 0, or explains on stderr and
// returns 1 when no hash can be computed. A URL is fetched through `client`, whose completions
// arrive on the main event loop. Needs a QCoreApplication; opens no window.
int runHashCommand(const VideoLocation& location, HttpClient& client);

// Why a local file has no hash: missing, not readable, or too small.
QString whyNoHash(const QString& path);

}  // namespace lirra
