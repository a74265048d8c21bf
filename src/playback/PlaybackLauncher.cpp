// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlaybackLauncher.h"

#include <QUrl>
#include <utility>

#include "platform/Log.h"
#include "promise/Promise.h"

namespace lirra {

QString playerPageUrl(const QString& baseUrl, std::int64_t videoId) {
    return baseUrl + QLatin1String(kPlayerPagePath) +
           QString::number(static_cast<std::uint64_t>(videoId));
}

Media mediaForLocation(const VideoLocation& location) {
    Media media;
    media.kind = location.isUrl() ? Media::Kind::Url : Media::Kind::Path;
    media.location = location.text;
    return media;
}

PlaybackLauncher::PlaybackLauncher(PlaybackContext& context,
                                   std::chrono::milliseconds pageWaitBound)
    : context_(context), pageWait_(context.notificationCenter, pageWaitBound) {}

void PlaybackLauncher::launchVideo() {
    PlaybackContext& c = context_;
    c.screens.loadPlayerScreen();

    // Fresh for every video, so a page request can only ever see this video's values. Requests
    // still waiting on the previous set are dropped with it; settling the old ones (no request
    // listens for a rejection, so nothing is sent) frees the callbacks a pending promise keeps.
    for (auto* old : {&c.state.durationDeferred, &c.state.audioInfoDeferred,
                      &c.state.playbackSpeedDeferred, &c.state.volumeDeferred}) {
        if (*old) (*old)->reject(nullptr);
    }
    c.state.durationDeferred = Deferred::deferred();
    c.state.audioInfoDeferred = Deferred::deferred();
    c.state.playbackSpeedDeferred = Deferred::deferred();
    c.state.volumeDeferred = Deferred::deferred();

    // The picture waits for the page, so that the learner sees the lines and the controls with
    // the first moving frame: while the page loads, the engine draws no frames that would take
    // the main thread from it.
    WebView* page = c.currentPlayerWebView();
    playsAfterPageWait_ = true;
    if (page) {
        pageWait_.begin(*page, [this](PlayerPageWait::Outcome outcome) { pageWaitEnded(outcome); });
        page->loadUrl(QUrl(playerPageUrl(c.config.baseUrl, c.state.videoId)));
    } else {
        pageWait_.cancel();
    }

    // A moment saved in the notebook starts this video there, and only this video.
    const std::optional<StartAt> startAt = std::exchange(c.state.startAt, std::nullopt);
    MediaPlayer* player = c.currentPlayer();
    if (player) player->setVolume(kLaunchVolume);
    if (VideoView* view = c.currentVideoView()) view->setBackColor(Color{0, 0, 0, 1});
    if (player) {
        player->setMedia(mediaForLocation(c.state.videoLocation));
        if (page) {
            player->openPaused();
        } else {
            player->play();
        }
        if (startAt && startAt->location == c.state.videoLocation.text) {
            player->setTime(startAt->milliseconds);
        }
    }
    if (c.hideLoader) c.hideLoader();
}

bool PlaybackLauncher::setPlaysAfterPageWait(bool plays) {
    if (!pageWait_.waiting()) return false;
    playsAfterPageWait_ = plays;
    return true;
}

void PlaybackLauncher::pageWaitEnded(PlayerPageWait::Outcome outcome) {
    MediaPlayer* player = context_.currentPlayer();
    if (!player) return;
    // A video stopped meanwhile (the learner went home) or that failed stays as it is.
    const int state = player->state();
    if (state != kMediaPlayerStateOpening && state != kMediaPlayerStateBuffering &&
        state != kMediaPlayerStatePaused) {
        return;
    }
    switch (outcome) {
        case PlayerPageWait::Outcome::PageLoaded:
            logLine("The player page has loaded: the video plays");
            break;
        case PlayerPageWait::Outcome::PageFailed:
            logLine("The player page could not be loaded: the video plays without it");
            break;
        case PlayerPageWait::Outcome::BoundPassed:
            logLine("The player page is still loading: the video plays");
            break;
    }
    if (!playsAfterPageWait_) {
        logLine("The player page paused the video while it loaded: it stays paused");
        return;
    }
    player->play();
}

void PlaybackLauncher::alertVideoPlayingError() {
    if (alertShowing_) return;
    AlertSpec alert;
    alert.buttons = {QString::fromLatin1(kVideoErrorButton)};
    alert.messageText = QString::fromLatin1(kVideoErrorMessage);
    alert.informativeText =
        QString::fromLatin1(kVideoErrorInformativePrefix) + context_.config.supportEmail;
    alert.style = AlertStyle::kWarning;

    alertShowing_ = true;
    context_.application.runModalAlert(alert);
    alertShowing_ = false;
    context_.screens.loadHomeScreen();
}

}  // namespace lirra
