// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharedCookieJar.h"

#include <QNetworkCookie>

namespace lirra {

bool SharedCookieJar::setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url) {
    bool added = false;
    for (const QNetworkCookie& given : cookies) {
        QNetworkCookie cookie = given;
        cookie.normalize(url);
        // What the jar refuses (another site's domain, a bad path) the pages must not get either.
        if (!validateCookie(cookie, url)) continue;
        added = insertCookie(cookie) || added;  // an expired one deletes instead
        // As sent: the pages' engine makes its own of a cookie that names no domain.
        if (received_) received_(given, url);
    }
    return added;
}

}  // namespace lirra
