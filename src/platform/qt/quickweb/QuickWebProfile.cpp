// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickWebProfile.h"

#include <QCoreApplication>
#include <QNetworkCookie>
#include <QPointer>
#include <QQuickWebEngineProfile>
#include <QWebEngineCookieStore>
#include <QWebEngineDownloadRequest>

#include "AppScheme.h"
#include "Downloads.h"
#include "platform/Log.h"
#include "platform/qt/network/SharedCookieJar.h"

// The profile's download signal names the Quick download type, whose header is not public.
Q_DECLARE_OPAQUE_POINTER(QQuickWebEngineDownloadRequest*)

namespace lirra {

namespace {

QString& storageFolder() {
    static QString folder;
    return folder;
}

QString& acceptLanguage() {
    static QString languages;
    return languages;
}

// The announced request is a QWebEngineDownloadRequest made as a child of the profile: found
// among those, without relying on a cast from a type we cannot see.
QWebEngineDownloadRequest* findDownload(QQuickWebEngineProfile& profile, const void* announced) {
    const auto children =
        profile.findChildren<QWebEngineDownloadRequest*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWebEngineDownloadRequest* download : children) {
        if (static_cast<const void*>(download) == announced) return download;
    }
    return nullptr;
}

}  // namespace

void setQuickWebStorageFolder(const QString& folder) { storageFolder() = folder; }
void setQuickWebAcceptLanguage(const QString& languages) { acceptLanguage() = languages; }

QQuickWebEngineProfile& sharedQuickWebProfile() {
    static QPointer<QQuickWebEngineProfile> profile;
    if (!profile) {
        profile = new QQuickWebEngineProfile(QCoreApplication::instance());
        if (storageFolder().isEmpty()) {
            profile->setOffTheRecord(true);
        } else {
            profile->setStorageName(QStringLiteral("lirra"));
            profile->setOffTheRecord(false);
            profile->setPersistentStoragePath(storageFolder());
            profile->setPersistentCookiesPolicy(QQuickWebEngineProfile::AllowPersistentCookies);
        }
        profile->setHttpCacheType(QQuickWebEngineProfile::MemoryHttpCache);
        if (!acceptLanguage().isEmpty()) profile->setHttpAcceptLanguage(acceptLanguage());
        profile->installUrlSchemeHandler(kAppUrlScheme, newAppSchemeHandler(profile));
        QQuickWebEngineProfile* self = profile;
        QObject::connect(self, &QQuickWebEngineProfile::downloadRequested, self,
                         [self](QQuickWebEngineDownloadRequest* announced) {
                             QWebEngineDownloadRequest* download =
                                 findDownload(*self, static_cast<const void*>(announced));
                             if (!download) {
                                 logLine("A download could not be handled");
                                 return;
                             }
                             handleDownloadRequest(download);
                         });
    }
    return *profile;
}

void setQuickWebServiceCookie(const QUrl& origin, const QByteArray& name, const QByteArray& value) {
    QNetworkCookie cookie(name, value);
    cookie.setPath(QStringLiteral("/"));  // no domain: host-only
    cookie.setHttpOnly(true);
    cookie.setSameSitePolicy(QNetworkCookie::SameSite::Strict);
    sharedQuickWebProfile().cookieStore()->setCookie(cookie, origin);
}

void shareQuickWebCookies(SharedCookieJar& jar) {
    QWebEngineCookieStore* store = sharedQuickWebProfile().cookieStore();
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, &jar,
                     [&jar](const QNetworkCookie& cookie) { jar.insertCookie(cookie); });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, &jar,
                     [&jar](const QNetworkCookie& cookie) { jar.deleteCookie(cookie); });
    jar.setReceivedObserver([store](const QNetworkCookie& cookie, const QUrl& url) {
        store->setCookie(cookie, url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery));
    });
    store->loadAllCookies();  // those kept from an earlier run
}

void clearQuickHttpCache() { sharedQuickWebProfile().clearHttpCache(); }

}  // namespace lirra
