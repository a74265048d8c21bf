// A shown video view with a player on it, and a record of the player's notifications.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/mpv/MpvVideoView.h"

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
    // `showFirst` false: the player exists (and may be told to play) before the view has GL.
    explicit PlayerRig(bool showFirst = true);

    void show();
    MpvMediaPlayer& player() { return *player_; }
    MpvVideoView& view() { return view_; }

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
    MpvVideoView view_;
    std::unique_ptr<MpvMediaPlayer> player_;
};

}  // namespace lirra::test
