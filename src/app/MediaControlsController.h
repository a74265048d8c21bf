// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's media controls acting on the player: play, pause and seek on the engine, "Stop"
// back to the home screen as the page's Stop does, next and previous line through the player page
// as its own keys do, the volume on the engine's 0..200 scale. It tells the controls when the
// status, the video, the volume or what can be done has changed.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "platform/Application.h"
#include "platform/MediaControls.h"
#include "platform/MediaPlayer.h"
#include "platform/NotificationCenter.h"
#include "platform/WebView.h"
#include "state/AppState.h"
#include "state/Screens.h"

namespace lirra {

// Page events the player page answers as it answers its keys (the argument of the volume event
// is the new volume on the engine's scale). The page is bound to these texts.
inline constexpr char kNextLineEvent[] = "nativeApp:nextLine";
inline constexpr char kPreviousLineEvent[] = "nativeApp:previousLine";
inline constexpr char kVolumeChangedEvent[] = "nativeApp:volumeChanged";

// Where the launched videos' track ids live; each launch gets the next number.
inline constexpr char kTrackIdPrefix[] = "/app/lirra/Lirra/video/";

class MediaControlsController : public MediaControlsTarget {
  public:
    struct Context {
        const AppState& state;
        Screens& screens;
        Application& application;
        NotificationCenter& center;
        std::function<MediaPlayer*()> player;
        std::function<WebView*()> playerPage;
        std::function<bool()> playerShown;  // the player screen is on screen
        std::function<void()> raise;
        std::function<void(const QString&)> open;  // a file path or a URL, as the desktop's
    };

    explicit MediaControlsController(Context context);
    ~MediaControlsController() override;
    MediaControlsController(const MediaControlsController&) = delete;
    MediaControlsController& operator=(const MediaControlsController&) = delete;

    // Who is told of changes; none until the controls are up.
    void setControls(MediaControls* controls) { controls_ = controls; }
    // Compares what the controls show with what is, and tells them what changed. Called on every
    // player notification and launch; the volume changes without one, so also now and then.
    void refresh();

    void raise() override;
    void quit() override;
    void openUri(const QString& uri) override;
    void play() override;
    void pause() override;
    void playPause() override;
    void stop() override;
    void next() override;
    void previous() override;
    void seek(std::int64_t offsetUs) override;
    void setPosition(const QString& trackId, std::int64_t positionUs) override;
    void setVolume(double volume) override;
    MediaControlsState state() const override;
    std::int64_t positionUs() const override;

  private:
    // The player while a video is on screen, else none.
    MediaPlayer* shownPlayer() const;
    void seekTo(std::int64_t positionUs);

    Context context_;
    MediaControls* controls_ = nullptr;
    MediaControlsState told_;
    int launches_ = 0;
    NotificationCenter::ObserverId observers_[3] = {};
};

}  // namespace lirra
