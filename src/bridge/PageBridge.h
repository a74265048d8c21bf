// The native end of the pages' bridge: decides the navigations of both web views, carries out
// the commands ("Execute") and answers the data requests ("Request") that arrive as app: URLs.
#pragma once

#include <QString>
#include <memory>

#include "BridgeContext.h"
#include "BridgeUrl.h"
#include "platform/WebView.h"

namespace lirra {

inline constexpr char kRegistrationPath[] = "Account/Register";
// The main window sizes the pages ask for.
inline constexpr double kTutorialContentHeight = 510;
inline constexpr double kPaymentContentWidth = 1105;
inline constexpr double kPaymentContentHeight = 570;

class PageBridge : public WebPolicyDelegate {
  public:
    explicit PageBridge(BridgeContext context);
    ~PageBridge() override;
    PageBridge(const PageBridge&) = delete;
    PageBridge& operator=(const PageBridge&) = delete;

    // The registration link is refused and opened in the default browser; a bridge URL is
    // refused and handled in a task posted to the main thread (a script evaluated inside this
    // call would never complete), so commands run one by one in the order the pages sent them;
    // everything else is followed.
    NavigationPolicy decidePolicyForNavigation(WebView& view, const QUrl& url) override;

    // The commands; an unknown name does nothing. Player commands do nothing without a player.
    void handleExecutionRequest(const QString& name, const BridgeArguments& arguments);

    // The requests; a reply goes to the player page as "response:" followed by the request's
    // guid. A request without a guid, or with an unknown name, gets no reply. The four values
    // the player reports later wait on their Deferreds of the application state.
    void handleDataRequest(const QString& name, const BridgeArguments& arguments);

    // Triggers "response:GUID" with the value (a JavaScript expression) in the player page;
    // dropped while there is no player page.
    void returnJsResultToClient(const QString& value, const QString& guid);

  private:
    void handleBridgeUrl(const BridgeUrl& bridgeUrl);
    void enableDraggableHomeScreen();
    void resizeForTutorial();
    void replyWhenResolved(const std::shared_ptr<Deferred>& deferred, const QString& guid,
                           bool numeric);

    BridgeContext context_;
    // Tasks posted to the main thread hold this weakly, so one that runs after the bridge has
    // gone does nothing.
    std::shared_ptr<PageBridge*> self_;
};

}  // namespace lirra
