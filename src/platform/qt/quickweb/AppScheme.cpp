// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppScheme.h"

#include <QBuffer>
#include <QMap>
#include <QRandomGenerator>
#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <map>

namespace lirra {

namespace {

// Keyed by the Accept header's value. The engine starts scheme requests on the main thread.
std::map<QByteArray, std::function<void(const QUrl&)>>& channels() {
    static std::map<QByteArray, std::function<void(const QUrl&)>> open;
    return open;
}

// Bridge URLs navigated to are decided by the navigation policy and never loaded; anything that
// still asks for one (a resource, an accepted navigation, a request without a channel's key) is
// refused.
class AppSchemeHandler : public QWebEngineUrlSchemeHandler {
  public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        const auto found = channels().find(job->requestHeaders().value("Accept"));
        if (found == channels().end() || job->requestMethod() != "GET") {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        // Answered first, so the page may send its next one while this one is handled; the
        // handling may close the channel.
        const std::function<void(const QUrl&)> arrived = found->second;
        job->reply("text/plain", new QBuffer(job));
        arrived(job->requestUrl());
    }
};

}  // namespace

void registerAppUrlScheme() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    QWebEngineUrlScheme scheme(kAppUrlScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Pages of another origin may request its URLs (the channels).
    scheme.setFlags(QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QWebEngineUrlSchemeHandler* newAppSchemeHandler(QObject* parent) {
    return new AppSchemeHandler(parent);
}

QString openBridgeChannel(std::function<void(const QUrl&)> arrived) {
    QString key;
    do {
        key = QStringLiteral("application/x-lirra-bridge;key=") +
              QString::number(QRandomGenerator::system()->generate64(), 16);
    } while (channels().count(key.toLatin1()));
    channels()[key.toLatin1()] = std::move(arrived);
    return key;
}

void closeBridgeChannel(const QString& key) { channels().erase(key.toLatin1()); }

}  // namespace lirra
