#include "WebProfile.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWebEngineProfile>

#include "platform/qt/webcommon/Downloads.h"

namespace lirra {

namespace {

QString& storageFolder() {
    static QString folder;
    return folder;
}

}  // namespace

void setWebStorageFolder(const QString& folder) { storageFolder() = folder; }

QWebEngineProfile& sharedWebProfile() {
    static QPointer<QWebEngineProfile> profile;
    if (!profile) {
        if (storageFolder().isEmpty()) {
            profile = new QWebEngineProfile(QCoreApplication::instance());  // off the record
        } else {
            profile = new QWebEngineProfile(QStringLiteral("lirra"), QCoreApplication::instance());
            profile->setPersistentStoragePath(storageFolder());
            profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        }
        profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile->installUrlSchemeHandler(kAppUrlScheme, newAppSchemeHandler(profile));
        handleDownloads(*profile);
    }
    return *profile;
}

void clearHttpCache() { sharedWebProfile().clearHttpCache(); }

}  // namespace lirra
