// SPDX-License-Identifier: GPL-3.0-or-later
// The native end of the pages' bridge: decides the navigations of both web views, and dispatches
// the commands ("Execute", ExecutionCommands.h) and the data requests ("Request",
// DataRequests.h) that arrive as app: URLs through their tables.
#pragma once

#include <QString>
#include <memory>

#include "BridgeContext.h"
#include "BridgeUrl.h"
#include "platform/WebView.h"

namespace lirra {

inline constexpr char kRegistrationPath[] = "Account/Register";

class PageBridge : public WebPolicyDelegate {
  public:
    explicit PageBridge(BridgeContext context);
    ~PageBridge() override;
    PageBridge(const PageBridge&) = delete;
    PageBridge& operator=(const PageBridge&) = delete;

    // The registration link is refused and opened in the default browser; a bridge URL from a
    // page of the service is refused and handled in a task posted to the main thread (a script
    // evaluated inside this call would never complete), so commands run one by one in the order
    // the pages sent them; from any other page it is dropped. The service's pages and
    // about:blank are followed; other http(s) pages open in the default browser instead, and
    // anything else is refused.
    NavigationPolicy decidePolicyForNavigation(WebView& view, const QUrl& url) override;

    // Runs the command; an unknown name does nothing.
    void handleExecutionRequest(const QString& name, const BridgeArguments& arguments);

    // Answers the request in the player page under its guid. A request without a guid, or with
    // an unknown name, gets no reply.
    void handleDataRequest(const QString& name, const BridgeArguments& arguments);

  private:
    void handleBridgeUrl(const BridgeUrl& bridgeUrl);

    BridgeContext context_;
    // Tasks posted to the main thread hold this weakly, so one that runs after the bridge has
    // gone does nothing.
    std::shared_ptr<PageBridge*> self_;
};

}  // namespace lirra
