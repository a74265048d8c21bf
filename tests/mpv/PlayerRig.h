// SPDX-License-Identifier: GPL-3.0-or-later
// The media ffmpeg makes once per run, and the video view in a window with a player on it.
#pragma once

#include <QImage>
#include <QQuickWindow>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/qt/quickvideo/QuickVideoView.h"
#include "support/qt/QtTestLoop.h"

namespace lirra::test {

struct TestMedia {
    QString dir;  // empty when ffmpeg failed (the reason is on stderr)
    // 1280x720 H.264, 3 s: red upper half, blue lower half; audio "English", "French", one with
    // a language only and one with nothing; one subtitle stream, and a subtitle file of the same
    // name beside it. The name starts with a dash and has a space.
    QString clipName, clip;
    QString audioOnly;    // 1.5 s of sound, no picture, a cover picture of the same name beside it
    QString pictureOnly;  // 1 s of the clip's picture at 25 frames a second, no sound
    QString missing;      // no such file
};
const TestMedia& testMedia();

// A script's step: what is done, then what must come true (waited for).
struct Step {
    const char* says;
    std::function<void()> act;
    std::function<bool()> until;
};
// Runs the steps in order; the first whose outcome does not come fails the test and ends the run.
bool runSteps(const std::vector<Step>& steps);

class PlayerRig {
  public:
    // `showFirst` false: the player may be told to play before the view has a window.
    explicit PlayerRig(bool showFirst = true);
    ~PlayerRig();

    // Puts the view into a new shown window (green where the view draws nothing).
    QQuickWindow& show();
    MpvMediaPlayer& player() { return *player_; }
    void makePlayer() {  // a new one on the same view (the previous one goes first)
        player_.reset();
        player_ = std::make_unique<MpvMediaPlayer>(view_, center_);
    }
    void destroyPlayer() { player_.reset(); }
    QuickVideoView& view() { return view_; }
    QQuickWindow* window() { return windows_.back().get(); }
    void destroyWindow() { windows_.back().reset(); }

    QImage grab() { return view_.window() ? view_.window()->grabWindow() : QImage(); }
    QRgb pixelAt(double fromTop) {  // in the middle of the row that far down
        const QImage image = grab();
        return image.isNull() ? 0 : image.pixel(image.width() / 2, int(image.height() * fromTop));
    }
    // The clip's picture, upright: red above, blue below.
    bool showsClip() { return qRed(pixelAt(0.25)) > 200 && qBlue(pixelAt(0.75)) > 200; }
    bool playClip(const QString& path);

    std::optional<std::string> engine(const char* name) { return player_->engineProperty(name); }

    // The player's values at each state change, and the time at each time change.
    struct State {
        int state;
        bool isPlaying;
        std::optional<std::int32_t> time, length;
    };
    std::vector<State> states;
    std::vector<std::optional<std::int32_t>> times;
    bool allOnMainThreadFromPlayer = true;
    bool reached(int state) const {
        return std::any_of(states.begin(), states.end(), [=](auto& s) { return s.state == state; });
    }
    // A state change said paused with the position at the media's end.
    bool restsAtEnd() const;

  private:
    NotificationCenter center_;
    std::vector<std::unique_ptr<QQuickWindow>> windows_;  // they outlive the view
    QuickVideoView view_;
    std::unique_ptr<MpvMediaPlayer> player_;
};

inline bool isGreen(QRgb p) { return qGreen(p) > 200 && qRed(p) < 60 && qBlue(p) < 60; }

}  // namespace lirra::test
