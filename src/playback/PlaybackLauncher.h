// SPDX-License-Identifier: GPL-3.0-or-later
// Starts playback of the video the subtitle work has just finished with, and tells the user when
// the engine cannot play it. `launchVideo` observes "LaunchVideo"; the relay calls
// `alertVideoPlayingError` when the player reports its error state.
#pragma once

#include <QString>
#include <cstdint>

#include "PlaybackContext.h"
#include "PlayerPageWait.h"
#include "platform/MediaPlayer.h"
#include "state/VideoLocation.h"

namespace lirra {

inline constexpr char kPlayerPagePath[] = "Player/Play?videoId=";
inline constexpr int kLaunchVolume = 200;  // full volume on the engine's 0..200 scale

inline constexpr char kVideoErrorMessage[] = "Couldn't open video";
inline constexpr char kVideoErrorInformativePrefix[] =
    "Lirra failed to open your video - if you feel that we should have been able to play this "
    "file, please report your problem to us at ";
inline constexpr char kVideoErrorButton[] = "OK";

// The player page of a video: the base URL, the page path, then the id as an unsigned 64-bit
// decimal (the service's ids are signed 32-bit values, so a negative one wraps).
QString playerPageUrl(const QString& baseUrl, std::int64_t videoId);

// The engine's media for a video: a URL is opened as a URL, a file as a path.
Media mediaForLocation(const VideoLocation& location);

class PlaybackLauncher {
  public:
    // `pageWaitBound`: how long at most the video waits for its player page.
    explicit PlaybackLauncher(PlaybackContext& context,
                              std::chrono::milliseconds pageWaitBound = kPlayerPageWaitBound);

    // Shows the player screen, makes the four Deferreds for the new video, loads its player page
    // and starts the engine on it, paused on its first frame until the page has loaded (or
    // could not be loaded) or the bound has passed, then playing. Whether the video plays is
    // learnt from the player's notifications.
    void launchVideo();

    // The launched video still waits for its player page (its pause is not the video's end).
    bool waitingForPage() const { return pageWait_.waiting(); }
    // While it waits: whether it plays when the wait ends (it does unless told otherwise).
    // False, and nothing changes, when no video waits.
    bool setPlaysAfterPageWait(bool plays);

    // The modal "Couldn't open video" alert, then the home screen. An error reported again while
    // the alert is still up (its modal loop keeps handling the player's notifications) adds no
    // second alert: the one showing already ends on the home screen.
    void alertVideoPlayingError();

  private:
    void pageWaitEnded(PlayerPageWait::Outcome outcome);

    PlaybackContext& context_;
    PlayerPageWait pageWait_;
    bool playsAfterPageWait_ = true;
    bool alertShowing_ = false;
};

}  // namespace lirra
