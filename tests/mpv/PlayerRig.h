// A shown video view with a player on it, and a record of the player's notifications. The view
// is either surface the player draws into: the OpenGL widget or the Qt Quick item in a window.
#pragma once

#include <QImage>
#include <QQuickWindow>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/mpv/MpvVideoView.h"
#include "platform/mpv/QuickVideoView.h"

namespace lirra::test {

enum class Surface { Widget, Quick };
std::ostream& operator<<(std::ostream& out, Surface surface);

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
    // `showFirst` false: the player exists (and may be told to play) before the view can draw
    // (the widget has no GL yet; the item has no window yet).
    explicit PlayerRig(Surface surface, bool showFirst = true);
    ~PlayerRig();

    void show();
    MpvMediaPlayer& player() { return *player_; }
    void makePlayer();  // a new one on the same view (the previous one goes first)
    void destroyPlayer() { player_.reset(); }
    MpvVideoSurface& view();
    QuickVideoView* quickView() { return quick_.get(); }
    QQuickWindow* quickWindow() { return window_.get(); }
    void destroyQuickWindow() { window_.reset(); }

    // What the window shows of the view, and one pixel of it at a fraction of its height.
    QImage grab();
    QRgb pixelAt(double fromTop);
    // The view goes into another (new, shown) window and can draw there.
    bool moveToAnotherWindow();

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
    static std::unique_ptr<QQuickWindow> makeWindow();

    Surface surface_;
    NotificationCenter center_;
    // Windows the view may move into outlive the view.
    std::unique_ptr<QWidget> otherWidgetWindow_;
    std::unique_ptr<QQuickWindow> otherWindow_;
    std::unique_ptr<QQuickWindow> window_;
    std::unique_ptr<MpvVideoView> widget_;
    std::unique_ptr<QuickVideoView> quick_;
    std::unique_ptr<MpvMediaPlayer> player_;
};

}  // namespace lirra::test
