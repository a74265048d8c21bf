// SPDX-License-Identifier: GPL-3.0-or-later
// Where every way of opening a video ends (drop, File > Open, the desktop, the home page).
#pragma once

#include <QString>

namespace lirra {

class VideoIntake {
  public:
    virtual ~VideoIntake() = default;
    virtual void processVideoAndLaunch(const QString& location) = 0;
};

}  // namespace lirra
