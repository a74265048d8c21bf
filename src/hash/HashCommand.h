// `lirra --hash PATH_OR_URL`: shows what Lirra sends to the subtitle service for a video.
#pragma once

#include <QString>

namespace lirra {

// Prints "<hash text> <size in bytes>" on stdout and returns 0, or explains on stderr and
// returns 1 when no hash can be computed. Needs a QCoreApplication; opens no window.
int runHashCommand(const QString& location);

}  // namespace lirra
