#include "PlaybackLauncher.h"

#include <QUrl>

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

    if (WebView* page = c.currentPlayerWebView()) {
        page->loadUrl(QUrl(playerPageUrl(c.config.baseUrl, c.state.videoId)));
    }

    MediaPlayer* player = c.currentPlayer();
    if (player) player->setVolume(kLaunchVolume);
    if (VideoView* view = c.currentVideoView()) view->setBackColor(Color{0, 0, 0, 1});
    if (player) {
        player->setMedia(mediaForLocation(c.state.videoLocation));
        player->play();
    }
    if (c.hideLoader) c.hideLoader();
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
