// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WebViewController.h"

#include <QUrl>

namespace lirra {

WebViewController::WebViewController(Platform& platform, AppState& state)
    : platform_(platform), state_(state) {}

WebViewController::WebViewController(Platform& platform, AppState& state, bool useCache)
    : WebViewController(platform, state) {
    state_.useCache = useCache;
}

WebView& WebViewController::view() {
    if (!view_) {
        view_ = platform_.createWebView();
        awakeFromNib();
    }
    return *view_;
}

void WebViewController::awakeFromNib() {
    // The views beneath (the loader, the video) show wherever the page paints nothing.
    view_->setDrawsBackground(false);
    if (!state_.useCache) platform_.removeAllCachedResponses();
}

void WebViewController::loadUrl(const QString& urlText) { view().loadUrl(QUrl(urlText)); }

void WebViewController::clear() { loadUrl(QStringLiteral("about:blank")); }

}  // namespace lirra
