// SPDX-License-Identifier: GPL-3.0-or-later
// The real app: a video it cannot play says why on the home page until the next; F toggles full
// screen on the player page, Tab goes through the named controls in their order.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <random>
#include <thread>

#include "e2e/LirraProcess.h"
#include "support/qt/QtPrinters.h"
#include "support/qt/QtTestLoop.h"

namespace lirra::test {
namespace {

TEST(DesktopReasons, ABrokenVideoSaysWhyAndThePlayerIsReachedByKeys) {
    ensureCoreApplication();
    QTemporaryDir media;
    std::mt19937 random(7);
    QByteArray noise(200000, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    ASSERT_TRUE(writeFile(media.filePath("Broken.mkv"), noise));

    LirraProcess app({media.filePath("Broken.mkv")});
    ASSERT_TRUE(app.waitForLog("Alert: Couldn't open video | ")) << app.log().toStdString();
    const auto said = QRegularExpression("Couldn't open video: ([^\n]+)\n").match(app.log());
    ASSERT_EQ(said.captured(1), "unrecognized file format") << "the engine's reason is logged";
    EXPECT_TRUE(app.waitForPage("Player/Home", "$('#open-reason:visible').text()",
                                "The last video could not be played: " + said.captured(1)));

    const QString clip = makeClip(media.path(), "Clip.mkv", 90);
    ASSERT_EQ(app.launchAgain({clip}), 0);
    const QString fullScreen = "$('#fullscreen-state').text()";
    ASSERT_TRUE(app.waitForPage("Player/Play", fullScreen, "Full screen", 40s));
    EXPECT_TRUE(app.waitForPage("Player/Home", "$('#open-reason').prop('hidden')", true));

    // F as the page's key handling gets it (the driver's keys are those without text).
    const QString f = "$(document).trigger($.Event('keydown', {key: '%1'})), 1";
    app.read("Player/Play", f.arg("f"));
    EXPECT_TRUE(app.waitForPage("Player/Play", fullScreen, "Leave full screen"));
    app.read("Player/Play", f.arg("F"));
    EXPECT_TRUE(app.waitForPage("Player/Play", fullScreen, "Full screen"));

    // The controls have faded: Tab brings them back.
    ASSERT_TRUE(app.waitForPage("Player/Play", "document.body.classList.contains('chrome-visible')",
                                false));
    // Those the window's width shows (the volume slider, repeat and help give way first).
    QStringList order;
    for (const QString& id :
         QString("home-button fullscreen-state seek prev-line play-pause next-line repeat-line "
                 "auto-pause mute volume speed-button audio-button subtitle-button "
                 "practice-button repeat-times loop-line ab-loop slow-line slower-line say-line "
                 "record-line compare-line voice save-line list-button help-button")
             .split(' '))
        if (app.read("Player/Play", "$('#" + id + "').is(':visible')") == true) order << id;
    ASSERT_GE(order.size(), 12);
    // Each control reached is named for a screen reader.
    const QString focused =
        "(e => e.id + (e.getAttribute('aria-label') ? '' : ' unnamed'))(document.activeElement)";
    QStringList reached;
    for (qsizetype i = 0; i < order.size(); ++i) {
        ASSERT_TRUE(app.press("Player/Play", "Tab"));
        reached << app.read("Player/Play", focused).toString();
    }
    EXPECT_EQ(reached, order);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(app.read("Player/Play", "document.body.classList.contains('chrome-visible')"), true)
        << "the controls show while the keyboard is in them";
    // Space presses the button the keyboard is on.
    app.read("Player/Play", "$('#auto-pause').focus(), 1");
    ASSERT_TRUE(app.press("Player/Play", " "));
    EXPECT_TRUE(app.waitForPage("Player/Play", "$('#auto-pause').attr('aria-pressed')", "true"));
}

}  // namespace
}  // namespace lirra::test
