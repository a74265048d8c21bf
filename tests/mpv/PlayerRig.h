// The Qt Quick video view in a shown window with a player on it, and a record of the player's
// notifications.
#pragma once

#include <QImage>
#include <QQuickWindow>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/qt/quickvideo/QuickVideoView.h"

namespace lirra::test {

// Runs the Qt event loop until `done` or the time-out; returns done().
bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000);

struct StateRecord {
    int state;
    bool isPlaying;
    std::optional<std::int32_t> time;
    std::optional<std::int32_t> length;
};

class PlayerRig {
  public:
    // `showFirst` false: the player exists (and may be told to play) before the view has a
    // window to draw in.
    explicit PlayerRig(bool showFirst = true);
    ~PlayerRig();

    // Puts the view into a new shown window (green where the view draws nothing).
    QQuickWindow& show();
    MpvMediaPlayer& player() { return *player_; }
    void makePlayer();  // a new one on the same view (the previous one goes first)
    void destroyPlayer() { player_.reset(); }
    QuickVideoView& view() { return view_; }
    QQuickWindow* window() { return windows_.empty() ? nullptr : windows_.back().get(); }
    void destroyWindow() { windows_.back().reset(); }

    // What the window shows, and one pixel of it at a fraction of its height.
    QImage grab();
    QRgb pixelAt(double fromTop);
    // The clip's picture: red above, blue below.
    bool showsClip();
    // Starts `media` and waits until the clip plays on screen.
    bool playClip(const QString& path);

    std::vector<StateRecord> states;
    std::vector<std::optional<std::int32_t>> times;  // the time at each time change
    bool allOnMainThread = true;
    bool allFromPlayer = true;

    // True once a state notification said paused with the position at the media's end.
    bool restsAtEnd() const;
    bool reached(int state) const;
    std::optional<std::string> engine(const char* property) {
        return player_->engineProperty(property);
    }

  private:
    NotificationCenter center_;
    // Windows the view was in outlive the view.
    std::vector<std::unique_ptr<QQuickWindow>> windows_;
    QuickVideoView view_;
    std::unique_ptr<MpvMediaPlayer> player_;
};

inline bool isGreen(QRgb pixel) {
    return qGreen(pixel) > 200 && qRed(pixel) < 60 && qBlue(pixel) < 60;
}

}  // namespace lirra::test
