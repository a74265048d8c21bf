// SPDX-License-Identifier: GPL-3.0-or-later
// The learner's journeys through the real app and its embedded service (unless a journey needs
// another), read from its log, its pages and screenshots.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <thread>

#include "LirraProcess.h"
#include "support/LoopbackHttpServer.h"

namespace lirra::test {
namespace {

constexpr char kEnglish[] = "1\n00:00:00,500 --> 00:00:07,000\nHello there, walker.\n";
constexpr char kSpanish[] = "1\n00:00:00,500 --> 00:00:07,000\nHola, caminante.\n";
constexpr char kPlayer[] = "/Player/Play";
constexpr char kBoundPassed[] = "The player page is still loading: the video plays";
// What the player page shows of the player's values it asked for.
constexpr char kValues[] =
    "[document.title, $('#time-duration').text(), $('#volume-value').text(), $('#speed-button')"
    ".text(), $('#audio-menu button').text(), $('body').hasClass('fullscreen')].join(' | ')";
constexpr char kHomeReady[] = "Navigation handled: app:///Execute/EnableDraggableHomeScreen";

// The video is red above and blue below, so white (the English line) and pale yellow (the
// learner's line) can only come from the page.
int linePixels(const QString& s) {
    return std::min(pixelsNear(s, "#ffe07a", 25) * 5, pixelsNear(s, "#ffffff", 20));
}
// The home page drawn: its background, plain or dimmed behind its welcome card (shown on a first
// run), and its white cards (the background alone comes first).
int homePixels(const QString& s) {
    const int background = pixelsNear(s, "#f6f2ea", 8) + pixelsNear(s, "#827f79", 8);
    return std::min(background, 10 * pixelsNear(s, "#ffffff", 4));
}

class Journey : public ::testing::Test {
  protected:
    // Every journey ends with the app quitting cleanly, and our pages without a script error.
    void TearDown() override {
        if (!app_) return;
        EXPECT_FALSE(ownPages_ && app_->log().contains("JavaScript error:"))
            << app_->log().toStdString();
        EXPECT_EQ(app_->quit(), 0);
    }
    void launch(const QStringList& arguments) {
        ownPages_ = !arguments.contains("--base-url");
        app_ = std::make_unique<LirraProcess>(QStringList{"--verbose"} + arguments);
        ASSERT_TRUE(app_->started());
        ASSERT_GT(port_ = app_->servicePort(), 0);
    }
    QString clip(const QString& name, double seconds, QStringList besides = {}) {
        for (const QString& file : besides)
            writeFile(media_.path() + "/" + file, file.contains(".es.") ? kSpanish : kEnglish);
        return makeClip(media_.path(), name, seconds);
    }
    QString loaded(const QString& path) {
        return QStringLiteral("Page loaded: http://127.0.0.1:%1%2").arg(port_).arg(path);
    }
    // Where the engine's time first moved: a time past the first frame (40 ms) told to the page.
    qsizetype firstMovingTime() {
        static const QRegularExpression kMoving(
            QStringLiteral("trigger\\('timeUpdate', (4[1-9]|[5-9]\\d|[1-9]\\d{2,})\\)"));
        waitUntil([&] { return app_->log().contains(kMoving); }, 30s);
        return kMoving.match(app_->log()).capturedStart();
    }

    QTemporaryDir media_;
    std::unique_ptr<LirraProcess> app_;
    int port_ = 0;
    bool ownPages_ = true;
};

TEST_F(Journey, TheHomePageIsPaintedInAFreshWindow) {
    launch({});
    ASSERT_TRUE(app_->waitForLog(kHomeReady, 60s));
    shotShowing("journey-0-home", 20000, homePixels);  // not the loader's grey
}

TEST_F(Journey, OneVideoFromTheCommandLineToItsEnd) {
    const QString video = clip("Night Walk.mkv", 7, {"Night Walk.en.srt", "Night Walk.es.srt"});
    launch({video});
    // The home page comes first and says it is ready; the video waits for it.
    ASSERT_TRUE(app_->waitForLog(kHomeReady, 60s));
    ASSERT_TRUE(app_->waitForLog("Done analyzing video: found 2 subtitles to download"));
    ASSERT_TRUE(app_->waitForLog("Successfully uploaded all downloaded subtitles", 20s));

    // The player page plays it, gets the player's values and shows them. The picture waited for
    // the page: it had loaded before the engine's time moved (unless the bound had passed).
    ASSERT_TRUE(app_->waitForLog(loaded(kPlayer + QString("?videoId="))));
    EXPECT_TRUE(app_->waitForPage(kPlayer, kValues,
                                  "Night Walk.mkv — Lirra | 0:07 | 100% | 1× | English | false"));
    const QRegularExpression pageOrBound(QRegularExpression::escape(loaded(kPlayer)) + "|" +
                                         kBoundPassed);
    EXPECT_LT(app_->log().indexOf(pageOrBound), firstMovingTime());
    const QString playing = shotShowing("journey-1-playing", 150, linePixels, 6s);
    EXPECT_GT(std::min(pixelsNear(playing, "#ff0000"), pixelsNear(playing, "#0000ff")), 5000)
        << playing.toStdString();  // both halves of the video

    // The end brings the home page back, not loaded again; the window keeps the video's size.
    ASSERT_TRUE(app_->waitForLog("Video ended at"));
    ASSERT_TRUE(app_->waitForLog("$(window).trigger('refreshLevel'", 10s));
    EXPECT_EQ(app_->log().count(loaded("/Player/Home")), 1);
    EXPECT_TRUE(
        app_->waitForPage("/Player/Home", "$('#recent-videos .name').text()", "Night Walk.mkv"));
    shotShowing("journey-2-home-again", 3000, homePixels);
}

// The video waits for its player page at most for a bound: a service whose player page never
// comes does not keep it from playing, and until then it rests on its first frame.
TEST_F(Journey, APlayerPageThatNeverLoadsStillLetsTheVideoPlayAfterTheBound) {
    const QString video = clip("My Clip.mkv", 10);
    std::atomic<bool> hold = true;
    LoopbackHttpServer service;
    auto& s = service.server();
    s.Get("/Player/Home", [](const auto&, auto& res) {
        res.set_content(
            "<script>document.documentElement.appendChild(document.createElement("
            "'iframe')).src = 'app:///Execute/EnableDraggableHomeScreen'</script>",
            "text/html");
    });
    s.Post("/Player/GetSubtitlesToDownload", [](const auto&, auto& res) {
        res.set_content(R"({"videoId": 7, "subsToDownload": []})", "application/octet-stream");
    });
    s.Get(kPlayer, [&hold](const auto&, auto& res) {
        while (hold) std::this_thread::sleep_for(20ms);
        res.set_content("", "text/html");
    });
    ASSERT_TRUE(service.start());
    launch({"--base-url", QString::fromStdString(service.url()), video});
    ASSERT_TRUE(app_->waitForLog(kBoundPassed, 90s));
    EXPECT_LT(app_->log().indexOf(kBoundPassed), firstMovingTime());
    EXPECT_FALSE(app_->log().contains(loaded(kPlayer)));
    hold = false;
}

// A school's service that needs an account: the learner signs in on the home page, and the app's
// own lookup and upload carry that session (without it they would be refused), so the video
// comes with its subtitles; the word marked is the learner's alone.
TEST_F(Journey, SignedInOnTheHomePageOfAServiceThatNeedsAnAccount) {
    const QString video = clip("Night Walk.mkv", 7, {"Night Walk.en.srt", "Night Walk.es.srt"});
    QTemporaryDir data;
    writeFile(data.path() + "/password", "walker-secret\n");
    ASSERT_EQ(QProcess::execute(LIRRA_SERVER_EXECUTABLE,
                                {"account", "create", "--data", data.path(), "--password-file",
                                 data.path() + "/password", "ana"}),
              0);
    QProcess service;
    service.start(LIRRA_SERVER_EXECUTABLE,
                  {"--accounts", "required", "--data", data.path(), "--library", media_.path()});
    QByteArray serving;  // its first line says where
    const auto read = [&] { return service.waitForReadyRead(100), serving += service.readAll(); };
    ASSERT_TRUE(waitUntil([&] { return read().contains('\n'); }, 20s));
    const QString base = QString::fromUtf8(serving).section("serving ", 1).trimmed();
    launch({"--base-url", base, video});
    ownPages_ = true;  // another process, but our pages
    const QString signIn = "Page loaded: " + base + "Account/SignIn";
    ASSERT_TRUE(app_->waitForLog(signIn, 60s)) << base.toStdString();
    EXPECT_FALSE(app_->log().contains("found 2 subtitles"));  // the video waits for the home page
    app_->read("/Account/SignIn",
               "var f = document.querySelector('.signin form'); f.name.value = 'ana'; "
               "f.password.value = 'walker-secret'; f.submit(); 1");
    ASSERT_TRUE(app_->waitForLog(kHomeReady, 30s));
    ASSERT_TRUE(app_->waitForLog("Done analyzing video: found 2 subtitles to download"));
    ASSERT_TRUE(app_->waitForLog("Successfully uploaded all downloaded subtitles", 20s));
    ASSERT_TRUE(app_->waitForLog("Page loaded: " + base + "Player/Play?videoId="));
    app_->read(kPlayer,
               "fetch('/api/words/walker', {method: 'PUT', headers: {'Content-Type': "
               "'application/json'}, body: '{\"status\": \"known\"}'}).then(function () {"
               "  return fetch('/api/words/counts'); }).then(function (r) { return r.json(); })"
               ".then(function (c) { window.known = c.known; }); 1");
    EXPECT_TRUE(app_->waitForPage(kPlayer, "window.known", 1));
    service.terminate();  // the destructor ends it if it lingers
}

}  // namespace
}  // namespace lirra::test
