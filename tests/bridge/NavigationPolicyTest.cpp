// Deciding navigations: registration link, bridge URLs handled after the decision, in order.
#include "BridgeFixture.h"

namespace lirra::testing {
namespace {

using Calls = std::vector<std::string>;

NavigationPolicy navigate(fakes::FakeWebView& view, const char* url) {
    return view.navigate(QUrl(QString::fromLatin1(url)));
}

TEST_F(BridgeTest, OrdinaryNavigationsAreFollowedAndOtherBridgeUrlsDropped) {
    homeView.setPolicyDelegate(&bridge());
    for (const char* url : {"http://127.0.0.1:8123/Player/Home", "about:blank"}) {
        EXPECT_EQ(navigate(homeView, url), NavigationPolicy::Use) << url;
    }
    EXPECT_EQ(mainThread.pending(), 0u);
    for (const char* url : {"app://Execute/Play", "app:///", "app:///execute/Play"}) {
        EXPECT_EQ(navigate(homeView, url), NavigationPolicy::Ignore) << url;
    }
    mainThread.runAll();
    EXPECT_TRUE(player.calls_.empty());
    EXPECT_TRUE(homeView.asyncScripts_.empty() && playerView.asyncScripts_.empty());
    EXPECT_EQ(screens.homeScreenLoads, 0);
    EXPECT_TRUE(application.openedUrls_.empty());
}

TEST_F(BridgeTest, RegistrationLinkOpensTheBrowserInstead) {
    playerView.setPolicyDelegate(&bridge());
    EXPECT_EQ(navigate(playerView, "http://127.0.0.1:8123/Account/PlayerRegister"),
              NavigationPolicy::Ignore);
    // Whatever the scheme, and before the bridge is considered.
    EXPECT_EQ(navigate(playerView, "app:///Execute/PlayerRegister"), NavigationPolicy::Ignore);
    const QUrl registration(QStringLiteral("http://127.0.0.1:8123/Account/Register"));
    EXPECT_EQ(application.openedUrls_, (std::vector<QUrl>{registration, registration}));
    EXPECT_EQ(mainThread.pending(), 0u);

    config.baseUrl.clear();  // nothing usable to open
    EXPECT_EQ(navigate(playerView, "http://h/PlayerRegister"), NavigationPolicy::Ignore);
    EXPECT_EQ(application.openedUrls_.size(), 2u);
}

TEST_F(BridgeTest, BridgeUrlsRunAfterTheDecisionInPageOrder) {
    homeView.setPolicyDelegate(&bridge());
    playerView.setPolicyDelegate(&bridge());
    player.muted_ = true;
    EXPECT_EQ(navigate(playerView, "app:///Execute/SetVolume?volume=80"), NavigationPolicy::Ignore);
    EXPECT_EQ(navigate(playerView, "app:///Execute/SeekTo?position=5"), NavigationPolicy::Ignore);
    // From the home page too: it acts on the same player.
    EXPECT_EQ(navigate(homeView, "app:///Execute/Play"), NavigationPolicy::Ignore);
    window.fullScreen_ = true;
    EXPECT_EQ(navigate(playerView, "app:///Request/IsFullscreen?guid=f1"),
              NavigationPolicy::Ignore);
    EXPECT_TRUE(player.calls_.empty());  // nothing inside the engine's callback
    EXPECT_TRUE(replies().empty());

    EXPECT_EQ(mainThread.runAll(), 4);
    EXPECT_EQ(player.calls_, (Calls{"setMute(false)", "setVolume(80)", "setTime(5000)", "play()"}));
    EXPECT_EQ(replies(), std::vector<QString>{reply("f1", "true")});
}

TEST_F(BridgeTest, TasksLeftBehindByAGoneBridgeDoNothing) {
    playerView.setPolicyDelegate(&bridge());
    navigate(playerView, "app:///Execute/Play");
    playerView.setPolicyDelegate(nullptr);
    destroyBridge();
    EXPECT_EQ(mainThread.runAll(), 1);
    EXPECT_TRUE(player.calls_.empty());
}

}  // namespace
}  // namespace lirra::testing
