// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MediaControlsController.h"

#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/CommandLine.h"
#include "bridge/PageEvents.h"
#include "playback/PlaybackLauncher.h"
#include "service/ServiceEnvironment.h"

namespace lirra {

namespace {

constexpr std::int64_t kUsPerMs = 1000;

PlaybackStatus statusOf(int state) {
    switch (state) {
        case kMediaPlayerStatePlaying:
            return PlaybackStatus::Playing;
        case kMediaPlayerStatePaused:
        case kMediaPlayerStateOpening:
        case kMediaPlayerStateBuffering:
            return PlaybackStatus::Paused;
        default:
            return PlaybackStatus::Stopped;
    }
}

}  // namespace

MediaControlsController::MediaControlsController(Context context) : context_(std::move(context)) {
    NotificationCenter& center = context_.center;
    const auto refreshOn = [this](const Notification&) { refresh(); };
    observers_[0] = center.addObserver(kMediaPlayerStateChanged, nullptr, refreshOn);
    observers_[1] = center.addObserver(kMediaPlayerTimeChanged, nullptr, refreshOn);
    observers_[2] =
        center.addObserver(kLaunchVideoNotification, nullptr, [this](const Notification&) {
            ++launches_;
            refresh();
        });
}

MediaControlsController::~MediaControlsController() {
    for (const auto id : observers_) context_.center.removeObserver(id);
}

MediaPlayer* MediaControlsController::shownPlayer() const {
    return context_.playerShown() ? context_.player() : nullptr;
}

MediaControlsState MediaControlsController::state() const {
    MediaControlsState now;
    const MediaPlayer* player = shownPlayer();
    if (!player) return now;
    now.status = statusOf(player->state());
    now.hasVideo = now.status != PlaybackStatus::Stopped;
    now.volume =
        player->isMuted() ? 0 : std::clamp(player->volume() / double(kLaunchVolume), 0.0, 1.0);
    now.rate = player->rate();
    if (!now.hasVideo) return now;
    now.trackId = QLatin1String(kTrackIdPrefix) + QString::number(launches_);
    const VideoLocation& video = context_.state.videoLocation;
    const QString name = context_.state.videoFileName.isEmpty()
                             ? QFileInfo(QUrl(video.text).path()).fileName()
                             : context_.state.videoFileName;
    now.title = QFileInfo(name).completeBaseName();
    if (now.title.isEmpty()) now.title = name;
    now.url = video.isUrl() ? video.text : QUrl::fromLocalFile(video.text).toString();
    if (const auto length = player->length()) now.lengthUs = *length * kUsPerMs;
    return now;
}

std::int64_t MediaControlsController::positionUs() const {
    const MediaPlayer* player = shownPlayer();
    return player ? player->time().value_or(0) * kUsPerMs : 0;
}

void MediaControlsController::refresh() {
    const MediaControlsState now = state();
    unsigned changes = 0;
    if (now.status != told_.status) changes |= MediaControls::kStatus;
    if (now.trackId != told_.trackId || now.title != told_.title || now.url != told_.url ||
        now.lengthUs != told_.lengthUs) {
        changes |= MediaControls::kTrack;
    }
    if (now.volume != told_.volume) changes |= MediaControls::kVolume;
    if (now.hasVideo != told_.hasVideo) changes |= MediaControls::kAbilities;
    if (now.rate != told_.rate) changes |= MediaControls::kRate;
    told_ = now;
    if (changes && controls_) controls_->changed(changes);
}

void MediaControlsController::raise() {
    if (context_.raise) context_.raise();
}

void MediaControlsController::quit() { context_.application.terminate(); }

void MediaControlsController::openUri(const QString& uri) {
    QString error;
    const QString location = normalizedLocation(uri, &error);
    if (!location.isEmpty() && context_.open) context_.open(location);
}

void MediaControlsController::play() {
    if (MediaPlayer* player = shownPlayer(); player && state().hasVideo) player->play();
}

void MediaControlsController::pause() {
    if (MediaPlayer* player = shownPlayer(); player && player->isPlaying()) player->pause();
}

void MediaControlsController::playPause() {
    const MediaPlayer* player = shownPlayer();
    if (player && player->isPlaying()) {
        pause();
    } else {
        play();
    }
}

void MediaControlsController::stop() {
    if (!context_.playerShown()) return;
    context_.screens.loadHomeScreen();
    refresh();
}

void MediaControlsController::next() {
    if (shownPlayer()) triggerPageEvent(context_.playerPage(), QString::fromLatin1(kNextLineEvent));
}

void MediaControlsController::previous() {
    if (shownPlayer())
        triggerPageEvent(context_.playerPage(), QString::fromLatin1(kPreviousLineEvent));
}

void MediaControlsController::seekTo(std::int64_t positionUs) {
    MediaPlayer* player = shownPlayer();
    const MediaControlsState now = state();
    if (!player || !now.hasVideo) return;
    // Beyond the end is the end: the video ends there, as a list of one would after "Next".
    const std::int64_t end = now.lengthUs.value_or(positionUs);
    const std::int64_t target =
        std::clamp<std::int64_t>(positionUs, 0, std::max<std::int64_t>(end, 0));
    const std::int64_t ms = std::min<std::int64_t>(target / kUsPerMs, INT32_MAX);
    player->setTime(static_cast<std::int32_t>(ms));
    if (controls_) controls_->seeked(target);
}

void MediaControlsController::seek(std::int64_t offsetUs) {
    std::int64_t target = 0;
    // An offset from outside may be anything: past the ends of the range is at them.
    if (__builtin_add_overflow(positionUs(), offsetUs, &target))
        target = offsetUs < 0 ? 0 : INT64_MAX;
    seekTo(target);
}

void MediaControlsController::setPosition(const QString& trackId, std::int64_t positionUs) {
    const MediaControlsState now = state();
    // A position for another video, or outside this one, is not ours to take.
    if (trackId != now.trackId || positionUs < 0 || (now.lengthUs && positionUs > *now.lengthUs)) {
        return;
    }
    seekTo(positionUs);
}

void MediaControlsController::setVolume(double volume) {
    MediaPlayer* player = shownPlayer();
    if (!player || !std::isfinite(volume)) return;
    const int engine = static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * kLaunchVolume));
    // As the page's own volume slider does: the sound comes back on.
    player->setMute(false);
    player->setVolume(engine);
    triggerPageEvent(context_.playerPage(), QString::fromLatin1(kVolumeChangedEvent),
                     QString::number(engine));
    refresh();
}

}  // namespace lirra
