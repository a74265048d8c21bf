// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlayerEventRelay.h"

#include "bridge/AudioInfo.h"
#include "bridge/PageEvents.h"
#include "platform/Log.h"
#include "promise/Promise.h"

namespace lirra {

namespace {

// Unresolved and present: the only Deferreds this relay may still touch.
bool isWaiting(const std::shared_ptr<Deferred>& deferred) {
    return deferred && !deferred->promise()->isResolved();
}

}  // namespace

QString timeUpdateScript(std::optional<std::int32_t> milliseconds) {
    return pageEventScript(QString::fromLatin1(kTimeUpdateEvent),
                           milliseconds ? QString::number(*milliseconds) : QStringLiteral("null"));
}

bool isAtEnd(std::optional<std::int32_t> time, std::optional<std::int32_t> length) {
    if (!length) return false;
    const std::int32_t seconds = time.value_or(0) / 1000;
    const std::int32_t lengthSeconds = *length / 1000;
    return seconds >= lengthSeconds;
}

void PlayerEventRelay::mediaPlayerStateChanged() {
    MediaPlayer* player = context_.currentPlayer();
    if (!player) return;
    const int state = player->state();

    // A stopped player shows no picture: fitting then would resize the home screen, since
    // returning home stops the player after clearing the flag.
    if (state != kMediaPlayerStateError && state != kMediaPlayerStateStopped &&
        state != kMediaPlayerStateEnded && !context_.state.playbackStarted) {
        fitWindowToVideo(*player);
    }

    if (state == kMediaPlayerStatePaused) {
        // Held on its first frame for the page, a video shorter than a second is not at its end.
        if (isAtEnd(player->time(), player->length()) && !launcher_.waitingForPage()) {
            logLine("Video ended at " + std::to_string(player->time().value_or(-1)) + " of " +
                    std::to_string(player->length().value_or(-1)) + " ms");
            context_.screens.loadHomeScreen();
        }
    } else if (state == kMediaPlayerStateError) {
        launcher_.alertVideoPlayingError();
    }

    // The page draws the subtitles; the engine's own would show twice. The player is asked
    // again: the steps above may have replaced the screen it belongs to.
    if (MediaPlayer* current = context_.currentPlayer()) {
        if (current->currentVideoSubTitleIndex() != -1) current->setCurrentVideoSubTitleIndex(-1);
    }
}

void PlayerEventRelay::fitWindowToVideo(const MediaPlayer& player) {
    for (const TrackInformation& track : player.tracksInformation()) {
        if (track.type != QLatin1String("video")) continue;
        // A stream whose size the engine has not read yet is tried again at the next change.
        if (track.width <= 0 || track.height <= 0) return;
        const Size size{static_cast<double>(track.width), static_cast<double>(track.height)};
        context_.mainWindow.setContentAspectRatio(size);
        context_.mainWindow.setContentSize(size);
        context_.state.playbackStarted = true;
        return;
    }
}

void PlayerEventRelay::mediaPlayerTimeChanged() {
    MediaPlayer* player = context_.currentPlayer();
    if (!player) return;
    if (WebView* page = context_.currentPlayerWebView()) {
        page->evaluateScriptAsync(timeUpdateScript(player->time()));
    }
    resolveDeferreds(*player);
}

void PlayerEventRelay::resolveDeferreds(const MediaPlayer& player) {
    // Copies: a reply run inside resolve() must not pull a Deferred out from under us.
    AppState& s = context_.state;

    if (auto volume = s.volumeDeferred; isWaiting(volume)) {
        const int v = player.volume();
        // 0 is the muted start; only a value on the scale is an answer.
        if (v >= 1 && v <= kLaunchVolume) volume->resolve(v);
    }

    if (auto duration = s.durationDeferred; isWaiting(duration)) {
        if (const auto length = player.length()) duration->resolve(std::int64_t{*length});
    }

    if (auto audioInfo = s.audioInfoDeferred; isWaiting(audioInfo)) {
        const QStringList names = player.audioTrackNames();
        if (!names.isEmpty()) {
            audioInfo->resolve(
                audioInfoText(names, player.audioTrackIndexes(), player.currentAudioTrackIndex()));
        }
    }

    if (auto speed = s.playbackSpeedDeferred; isWaiting(speed)) {
        const float rate = player.rate();
        if (rate >= 0) speed->resolve(rate);  // NaN fails the test as well
    }
}

}  // namespace lirra
