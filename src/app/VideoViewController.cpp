// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/VideoViewController.h"

namespace lirra {

VideoViewController::VideoViewController(Platform& platform) : view_(platform.createVideoView()) {
    awakeFromNib();
    player_ = platform.createMediaPlayer(*view_);
}

void VideoViewController::awakeFromNib() {
    view_->setFillScreen(true);
    view_->setBackColor(kIdleBackColor);
}

}  // namespace lirra
