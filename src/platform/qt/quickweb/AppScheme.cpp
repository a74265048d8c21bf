// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppScheme.h"

#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

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

}  // namespace

void registerAppUrlScheme() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    QWebEngineUrlScheme scheme(kAppUrlScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QWebEngineUrlSchemeHandler* newAppSchemeHandler(QObject* parent) {
    return new AppSchemeHandler(parent);
}

}  // namespace lirra
