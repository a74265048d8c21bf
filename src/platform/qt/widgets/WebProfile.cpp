#include "WebProfile.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include "Downloads.h"

namespace lirra {

namespace {

// Bridge URLs are decided by the navigation policy and never loaded; anything that still asks
// for one (a resource, an accepted navigation) is refused.
class AppSchemeHandler : public QWebEngineUrlSchemeHandler {
  public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

QString& storageFolder() {
    static QString folder;
    return folder;
}

}  // namespace

void registerAppUrlScheme() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    QWebEngineUrlScheme scheme(kAppUrlScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

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
        profile->installUrlSchemeHandler(kAppUrlScheme, new AppSchemeHandler(profile));
        handleDownloads(*profile);
    }
    return *profile;
}

void clearHttpCache() { sharedWebProfile().clearHttpCache(); }

}  // namespace lirra
