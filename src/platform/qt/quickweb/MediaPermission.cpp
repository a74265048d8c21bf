// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaPermission.h"

namespace lirra {

bool grantsMicrophone(const QUrl& loaded, const QUrl& origin, bool microphoneOnly) {
    const QString scheme = loaded.scheme();
    if (!microphoneOnly || (scheme != "http" && scheme != "https")) return false;
    const int port = scheme == "https" ? 443 : 80;
    return origin.scheme() == scheme && !loaded.host().isEmpty() &&
           origin.host().compare(loaded.host(), Qt::CaseInsensitive) == 0 &&
           origin.port(port) == loaded.port(port);
}

}  // namespace lirra
