// SPDX-License-Identifier: GPL-3.0-or-later
// Deciding the navigations of both pages: the registration link, bridge URLs from the service's
// pages handled after the decision and in the pages' order, the service's pages followed, the
// rest of the web left to the browser.
#include "fakes/AppFixture.h"

namespace lirra::testing {
namespace {

TEST_F(AppTest, OnlyTheServicesPagesAreFollowedAndOnlyTheyDriveTheBridge) {
    // Followed, opened in the browser instead, or refused outright.
    const std::tuple<const char*, NavigationPolicy, bool> cases[] = {
        {"http://service.test/Player/Home", NavigationPolicy::Use, false},
        {"http://service.test:80/x?to=PlayerRegister", NavigationPolicy::Use, false},
        {"about:blank", NavigationPolicy::Use, false},
        {"http://other.test/Player/Home", NavigationPolicy::Ignore, true},
        {"https://service.test/", NavigationPolicy::Ignore, true},
        {"http://service.test:8080/", NavigationPolicy::Ignore, true},
        {"file:///etc/passwd", NavigationPolicy::Ignore, false},
        {"apps:///Execute/Stop", NavigationPolicy::Ignore, false},
    };
    for (const auto& [url, policy, opened] : cases) {
        platform_.application_.openedUrls_.clear();
        EXPECT_EQ(home().navigate(url), policy) << url;
        EXPECT_EQ(platform_.application_.openedUrls_,
                  opened ? std::vector<QUrl>{QUrl(url)} : std::vector<QUrl>{})
            << url;
    }
    // Refused, with nothing to run: no kind, or not one of the two.
    for (const char* url : {"app://Execute/Stop", "app:///", "app:///execute/Stop"})
        EXPECT_EQ(home().navigate(url), NavigationPolicy::Ignore) << url;
    EXPECT_EQ(platform_.mainThread_.runAll(), 3u);
    EXPECT_EQ(home().loads_.size(), 1u);  // "Stop" would have loaded the home page again
    // A page of another origin in the view sends nothing to the bridge.
    home().loads_.push_back(QUrl("http://other.test/"));
    EXPECT_EQ(home().navigate("app:///Execute/Stop"), NavigationPolicy::Ignore);
    EXPECT_EQ(platform_.mainThread_.runAll(), 0u);
}

// Whatever the scheme, and before the bridge is considered.
TEST_F(AppTest, TheRegistrationLinkOpensTheRegistrationPageInTheBrowser) {
    for (const char* url : {"http://service.test/Account/PlayerRegister",
                            "http://h/PlayerRegister/?next=1", "app:///Execute/PlayerRegister"})
        EXPECT_EQ(home().navigate(url), NavigationPolicy::Ignore) << url;
    EXPECT_EQ(platform_.application_.openedUrls_,
              std::vector<QUrl>(3, QUrl("http://service.test/Account/Register")));
    EXPECT_EQ(platform_.mainThread_.runAll(), 0u);
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
