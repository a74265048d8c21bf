// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageBridge.h"

#include <utility>

#include "DataRequests.h"
#include "ExecutionCommands.h"

namespace lirra {

PageBridge::PageBridge(BridgeContext context)
    : context_(std::move(context)), self_(std::make_shared<PageBridge*>(this)) {}

PageBridge::~PageBridge() = default;

NavigationPolicy PageBridge::decidePolicyForNavigation(WebView& view, const QUrl& url) {
    const QUrl service(context_.config.baseUrl);
    if (isRegistrationLink(url)) {
        const QUrl registration(context_.config.baseUrl + QLatin1String(kRegistrationPath));
        if (registration.isValid() && !registration.isRelative()) {
            context_.application.openUrl(registration);
        }
        return NavigationPolicy::Ignore;
    }
    if (!isBridgeUrl(url)) {
        // The views show the service's pages alone (and about:blank, which empties them); a link
        // elsewhere on the web opens in the browser, where it has no bridge to drive.
        if (isSameOrigin(url, service) || url.toString() == QLatin1String("about:blank"))
            return NavigationPolicy::Use;
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            context_.application.openUrl(url);
        return NavigationPolicy::Ignore;
    }
    // Only the service's own pages drive the player.
    if (!isSameOrigin(view.url(), service)) return NavigationPolicy::Ignore;
    // Read now, handled once the engine has its answer; posting keeps the pages' order.
    std::weak_ptr<PageBridge*> weakSelf = self_;
    context_.mainThread.post([weakSelf, bridgeUrl = BridgeUrl::fromUrl(url)] {
        if (const auto self = weakSelf.lock()) {
            (*self)->handleBridgeUrl(bridgeUrl);
        }
    });
    return NavigationPolicy::Ignore;
}

void PageBridge::handleBridgeUrl(const BridgeUrl& bridgeUrl) {
    if (bridgeUrl.kind == QLatin1String(kExecuteKind)) {
        handleExecutionRequest(bridgeUrl.name, bridgeUrl.arguments);
    } else if (bridgeUrl.kind == QLatin1String(kRequestKind)) {
        handleDataRequest(bridgeUrl.name, bridgeUrl.arguments);
    }
}

void PageBridge::handleExecutionRequest(const QString& name, const BridgeArguments& arguments) {
    if (const CommandHandler command = findHandler(executionCommands(), name)) {
        command(context_, arguments);
    }
}

void PageBridge::handleDataRequest(const QString& name, const BridgeArguments& arguments) {
    const auto guid = arguments.constFind(QLatin1String(kGuidArgument));
    if (guid == arguments.constEnd()) return;  // nobody could listen for the reply
    if (const RequestHandler request = findHandler(dataRequests(), name)) {
        request(context_, guid.value());
    }
}

}  // namespace lirra
