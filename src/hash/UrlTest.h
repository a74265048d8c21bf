// Tells a video URL from a file path.
#pragma once

#include <QString>

namespace lirra {

// True exactly when the text parses strictly as a URL with both a scheme and a non-empty host
// ("file:///x" and plain paths are not URLs).
bool isUrl(const QString& text);

}  // namespace lirra
