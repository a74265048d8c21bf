// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's media controls (media keys, the shell's player widget, the lock screen): what they
// may ask of the app, and what the app tells them. On Linux they speak MPRIS over D-Bus; times
// there are in microseconds and the volume runs from 0 to 1. All calls on the main thread.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace lirra {

enum class PlaybackStatus { Stopped, Playing, Paused };

// What the controls show, read as a whole so that a change can be told as one.
struct MediaControlsState {
    PlaybackStatus status = PlaybackStatus::Stopped;
    bool hasVideo = false;  // a video is on screen: it can be played, paused, sought, stepped
    QString trackId;        // a D-Bus object path naming the launched video; empty with none
    QString title;
    QString url;                           // file:// for a file
    std::optional<std::int64_t> lengthUs;  // none while the engine does not know it
    double volume = 1;                     // 0 while muted
    double rate = 1;

    bool operator==(const MediaControlsState&) const = default;
};

// What the controls act on: the app.
class MediaControlsTarget {
  public:
    virtual ~MediaControlsTarget() = default;
    virtual void raise() = 0;
    virtual void quit() = 0;
    virtual void openUri(const QString& uri) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void playPause() = 0;
    virtual void stop() = 0;
    virtual void next() = 0;
    virtual void previous() = 0;
    virtual void seek(std::int64_t offsetUs) = 0;
    // Only for the video named `trackId`, and only to a position within it.
    virtual void setPosition(const QString& trackId, std::int64_t positionUs) = 0;
    virtual void setVolume(double volume) = 0;
    virtual MediaControlsState state() const = 0;
    virtual std::int64_t positionUs() const = 0;
};

// The controls' side: told when what they show has changed, and of every jump of the position.
class MediaControls {
  public:
    virtual ~MediaControls() = default;
    enum Change : unsigned { kStatus = 1, kTrack = 2, kVolume = 4, kAbilities = 8, kRate = 16 };
    virtual void changed(
        unsigned changes) = 0;  // Change flags; the values are read from the target
    virtual void seeked(std::int64_t positionUs) = 0;
};

}  // namespace lirra
