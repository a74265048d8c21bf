// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu: "Open…" lets the user choose one video file.
#pragma once

#include "platform/Platform.h"
#include "state/VideoIntake.h"

namespace lirra {

class FileMenuController {
  public:
    FileMenuController(Application& application, VideoIntake& intake);

    // Unlike a drop, a video already playing goes on until the chosen one launches.
    void open();

  private:
    Application& application_;
    VideoIntake& intake_;
};

}  // namespace lirra
