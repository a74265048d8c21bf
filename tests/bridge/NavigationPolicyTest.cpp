// SPDX-License-Identifier: GPL-3.0-or-later
// Deciding the navigations of both pages: the registration link, bridge URLs from the service's
// pages handled after the decision and in the pages' order, the service's pages followed, the
// rest of the web left to the browser.
#include "fakes/AppFixture.h"

namespace lirra::testing {
namespace {

TEST_F(AppTest, OnlyTheServicesPagesAreFollowedAndOnlyTheyDriveTheBridge) {
    // "URL OUTCOME" each: followed (use), opened in the browser instead, or refused outright;
    // bridge URLs without a kind, or not one of the two, are refused with nothing to run.
    for (const QString row :
         {"http://service.test/Player/Home use", "http://service.test:80/x?to=PlayerRegister use",
          "about:blank use", "http://other.test/Player/Home browser",
          "https://service.test/ browser", "http://service.test:8080/ browser",
          "file:///etc/passwd ignore", "apps:///Execute/Stop ignore", "app://Execute/Stop ignore",
          "app:/// ignore", "app:///execute/Stop ignore"}) {
        const QString url = row.section(' ', 0, 0), outcome = row.section(' ', 1);
        platform_.application_.openedUrls_.clear();
        EXPECT_EQ(home().navigate(url),
                  outcome == "use" ? NavigationPolicy::Use : NavigationPolicy::Ignore)
            << row.toStdString();
        EXPECT_EQ(platform_.application_.openedUrls_,
                  outcome == "browser" ? std::vector<QUrl>{QUrl(url)} : std::vector<QUrl>{})
            << row.toStdString();
    }
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
