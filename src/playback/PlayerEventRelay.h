// SPDX-License-Identifier: GPL-3.0-or-later
// Relays the media player's two notifications: state changes fit the main window to the picture,
// end the player screen at the end of the video or on an error, and keep the engine's own
// subtitles off; time changes tell the player page the position ("timeUpdate") and resolve the
// four Deferreds on which the page's data requests wait.
//
// Both handlers read everything from the player itself, on the main thread. A Deferred resolved
// here runs the waiting requests' replies inside the handler, in the order they were made.
//
// Values the Deferreds are resolved with (the data-request replies print them):
//   durationDeferred       std::int64_t, the media's length in milliseconds
//   volumeDeferred         int, 1..200 on the engine's volume scale
//   audioInfoDeferred      QString, the audio-track object literal
//   playbackSpeedDeferred  float, the rate (1 is normal speed)
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "PlaybackContext.h"
#include "PlaybackLauncher.h"

namespace lirra {

// The "timeUpdate" page event for a position in milliseconds; `null` while there is none.
QString timeUpdateScript(std::optional<std::int32_t> milliseconds);

// Whether a player paused at `time` has reached the end of a media of `length`, compared in whole
// seconds (truncated). An unknown position counts as 0; an unknown length means the media is not
// open yet (or has no end), so the pause is not its end.
bool isAtEnd(std::optional<std::int32_t> time, std::optional<std::int32_t> length);

class PlayerEventRelay {
  public:
    PlayerEventRelay(PlaybackContext& context, PlaybackLauncher& launcher)
        : context_(context), launcher_(launcher) {}

    void mediaPlayerStateChanged();
    void mediaPlayerTimeChanged();

  private:
    void fitWindowToVideo(const MediaPlayer& player);
    void resolveDeferreds(const MediaPlayer& player);

    PlaybackContext& context_;
    PlaybackLauncher& launcher_;
};

}  // namespace lirra
