// SPDX-License-Identifier: GPL-3.0-or-later
// The picture waits for the page: a launched video rests paused on its first frame until the
// player page's load has finished (loaded or not), or until a bound has passed, whichever comes
// first. Then `ready` runs, once. Main thread only.
#pragma once

#include <QTimer>
#include <chrono>
#include <functional>

#include "platform/NotificationCenter.h"
#include "platform/WebView.h"

namespace lirra {

inline constexpr std::chrono::milliseconds kPlayerPageWaitBound{2000};

class PlayerPageWait {
  public:
    enum class Outcome { PageLoaded, PageFailed, BoundPassed };

    PlayerPageWait(NotificationCenter& center,
                   std::chrono::milliseconds bound = kPlayerPageWaitBound);
    ~PlayerPageWait();
    PlayerPageWait(const PlayerPageWait&) = delete;
    PlayerPageWait& operator=(const PlayerPageWait&) = delete;

    // Starts waiting for the next load of `page` to finish (a wait already under way is
    // dropped). Call it before the page is told to load.
    void begin(const WebView& page, std::function<void(Outcome)> ready);
    // Drops the wait under way, if any, without running its `ready`.
    void cancel();
    bool waiting() const { return static_cast<bool>(ready_); }

  private:
    void finish(Outcome outcome);

    NotificationCenter& center_;
    QTimer bound_;
    NotificationCenter::ObserverId observer_ = 0;
    NotificationCenter::ObserverId startObserver_ = 0;
    bool loadStarted_ = false;
    std::function<void(Outcome)> ready_;
};

}  // namespace lirra
