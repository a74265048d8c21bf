// SPDX-License-Identifier: GPL-3.0-or-later
// Says why a video could not be played: the engine's reason is logged and, back on the home page,
// shown in one line under the drop area (the alert keeps its fixed texts). A new launch clears it.
#pragma once

#include <functional>

#include "platform/MediaPlayer.h"
#include "platform/NotificationCenter.h"
#include "platform/WebView.h"

namespace lirra {

// The home page's event with the reason as a string argument; an empty one clears the line.
inline constexpr char kOpenFailedEvent[] = "nativeApp:openFailed";

class OpenFailureReporter {
  public:
    OpenFailureReporter(NotificationCenter& center, std::function<MediaPlayer*()> player,
                        std::function<WebView*()> homePage);
    ~OpenFailureReporter();
    OpenFailureReporter(const OpenFailureReporter&) = delete;
    OpenFailureReporter& operator=(const OpenFailureReporter&) = delete;

  private:
    void stateChanged();

    NotificationCenter& center_;
    std::function<MediaPlayer*()> player_;
    std::function<WebView*()> homePage_;
    bool told_ = false;  // the launched video's failure has been told
    NotificationCenter::ObserverId observers_[2] = {};
};

}  // namespace lirra
