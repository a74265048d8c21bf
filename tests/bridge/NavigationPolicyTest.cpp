// Deciding the navigations of both pages: the registration link, bridge URLs handled after the
// decision and in the pages' order, everything else followed.
#include "fakes/AppFixture.h"

namespace lirra::testing {
namespace {

TEST_F(AppTest, OnlyBridgeUrlsAndTheRegistrationLinkAreRefused) {
    for (const char* url :
         {"http://service.test/Player/Home", "about:blank", "apps:///Execute/Stop",
          "http://h/PlayerRegisterNow", "http://h/x?to=PlayerRegister"})
        EXPECT_EQ(home().navigate(url), NavigationPolicy::Use) << url;
    // Refused, with nothing to run: no kind, or not one of the two.
    for (const char* url : {"app://Execute/Stop", "app:///", "app:///execute/Stop"})
        EXPECT_EQ(home().navigate(url), NavigationPolicy::Ignore) << url;
    EXPECT_EQ(platform_.mainThread_.runAll(), 3u);
    EXPECT_EQ(home().loads_.size(), 1u);  // "Stop" would have loaded the home page again
    EXPECT_TRUE(platform_.application_.openedUrls_.empty());
}

// Whatever the scheme, and before the bridge is considered.
TEST_F(AppTest, TheRegistrationLinkOpensTheRegistrationPageInTheBrowser) {
    for (const char* url : {"http://service.test/Account/PlayerRegister",
                            "http://h/PlayerRegister/?next=1", "app:///Execute/PlayerRegister"})
        EXPECT_EQ(home().navigate(url), NavigationPolicy::Ignore) << url;
    EXPECT_EQ(platform_.application_.openedUrls_,
              std::vector<QUrl>(3, QUrl("http://service.test/Account/Register")));
    EXPECT_EQ(platform_.mainThread_.pending(), 0u);
}

TEST_F(AppTest, BridgeUrlsRunAfterTheDecisionInPageOrderAndNotAfterTheApp) {
    launch(makeVideo("clip.mkv"));
    player().calls_.clear();
    for (const char* url :
         {"app:///Execute/SetVolume?volume=80", "app:///Execute/SeekTo?position=5"})
        EXPECT_EQ(page().navigate(url), NavigationPolicy::Ignore);
    home().navigate("app:///Execute/Pause");  // the home page acts on the same player
    EXPECT_TRUE(player().calls_.empty());     // nothing inside the engine's decision
    EXPECT_EQ(platform_.mainThread_.runAll(), 3u);
    EXPECT_EQ(player().calls_, (std::vector<std::string>{"setMute(false)", "setVolume(80)",
                                                         "setTime(5000)", "pause()"}));
    page().navigate("app:///Execute/Stop");
    app_.reset();
    EXPECT_EQ(platform_.mainThread_.runAll(), 1u);  // left behind: does nothing
}

}  // namespace
}  // namespace lirra::testing
