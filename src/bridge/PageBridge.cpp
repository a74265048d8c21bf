#include "PageBridge.h"

#include <utility>

#include "DataRequests.h"
#include "ExecutionCommands.h"

namespace lirra {

PageBridge::PageBridge(BridgeContext context)
    : context_(std::move(context)), self_(std::make_shared<PageBridge*>(this)) {}

PageBridge::~PageBridge() = default;

NavigationPolicy PageBridge::decidePolicyForNavigation(WebView& /*view*/, const QUrl& url) {
    if (isRegistrationLink(url)) {
        const QUrl registration(context_.config.baseUrl + QLatin1String(kRegistrationPath));
        if (registration.isValid() && !registration.isRelative()) {
            context_.application.openUrl(registration);
        }
        return NavigationPolicy::Ignore;
    }
    if (!isBridgeUrl(url)) {
        return NavigationPolicy::Use;
    }
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
