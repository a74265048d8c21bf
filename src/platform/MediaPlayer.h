// SPDX-License-Identifier: GPL-3.0-or-later
// The video engine as the controllers use it. Every call is made on the main thread; the engine
// works on threads of its own and reports back only through the two notifications below, which
// it posts on the main thread with the player as sender.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <optional>
#include <vector>

#include "Geometry.h"
#include "View.h"

namespace lirra {

inline constexpr char kMediaPlayerStateChanged[] = "MediaPlayerStateChanged";
inline constexpr char kMediaPlayerTimeChanged[] = "MediaPlayerTimeChanged";

// Player states, numbered as the pages and controllers expect them.
enum MediaPlayerState : int {
    kMediaPlayerStateStopped = 0,
    kMediaPlayerStateOpening = 1,
    kMediaPlayerStateBuffering = 2,
    kMediaPlayerStateEnded = 3,
    kMediaPlayerStateError = 4,
    kMediaPlayerStatePlaying = 5,
    kMediaPlayerStatePaused = 6,  // also where a video played to its end rests, on its last frame
};

struct Media {
    enum class Kind { Url, Path };
    Kind kind = Kind::Path;
    QString location;  // a URL text for Kind::Url, a file-system path for Kind::Path
};

// One elementary stream of the current media.
struct TrackInformation {
    QString type;   // "video", "audio" or "text"
    int width = 0;  // pixels, video streams only
    int height = 0;
};

// The view the engine draws into.
class VideoView : public View {
  public:
    virtual void setFillScreen(bool fill) = 0;          // the picture fills the view
    virtual void setBackColor(const Color& color) = 0;  // behind and around the picture
    virtual Color backColor() const = 0;
};

class MediaPlayer {
  public:
    virtual ~MediaPlayer() = default;

    virtual void setMedia(const Media& media) = 0;
    virtual void play() = 0;  // from the media's start after setMedia, else resumes
    // Like play() after setMedia, except that the media rests paused on its first frame (shown)
    // until play() is called. Does nothing when no media waits to be opened.
    virtual void openPaused() = 0;
    virtual void pause() = 0;
    virtual bool isPlaying() const = 0;
    virtual void stop() = 0;

    virtual void setTime(std::int32_t milliseconds) = 0;  // a seek
    // A seek to the frame at that time, not to a key frame near it (slower on long GOPs).
    virtual void setTimeExact(std::int32_t milliseconds) = 0;
    virtual std::optional<std::int32_t> time() const = 0;    // none while unknown
    virtual std::optional<std::int32_t> length() const = 0;  // of the media; none while unknown

    // Volume on a 0..200 scale, 200 being full volume; values outside are clamped.
    virtual int volume() const = 0;
    virtual void setVolume(int volume) = 0;
    virtual void setMute(bool mute) = 0;
    virtual bool isMuted() const = 0;

    virtual float rate() const = 0;  // 1 is normal speed
    virtual void setRate(float rate) = 0;

    // Same length, name and engine index at the same positions.
    virtual QStringList audioTrackNames() const = 0;
    virtual QVector<int> audioTrackIndexes() const = 0;
    virtual int currentAudioTrackIndex() const = 0;
    virtual void setCurrentAudioTrackIndex(int index) = 0;

    // The engine's own subtitle display; -1 is none (pages draw the subtitles).
    virtual int currentVideoSubTitleIndex() const = 0;
    virtual void setCurrentVideoSubTitleIndex(int index) = 0;

    virtual std::vector<TrackInformation> tracksInformation() const = 0;
    virtual int state() const = 0;  // a MediaPlayerState
    // Why the media could not be opened or played, in the engine's words; empty until it failed
    // (a new media clears it).
    virtual QString openFailure() const = 0;
};

}  // namespace lirra
