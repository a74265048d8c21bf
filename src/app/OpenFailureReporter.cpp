// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/OpenFailureReporter.h"

#include "bridge/PageEvents.h"
#include "platform/Log.h"
#include "service/ServiceEnvironment.h"

namespace lirra {

OpenFailureReporter::OpenFailureReporter(NotificationCenter& center,
                                         std::function<MediaPlayer*()> player,
                                         std::function<WebView*()> homePage)
    : center_(center), player_(std::move(player)), homePage_(std::move(homePage)) {
    observers_[0] = center.addObserver(kMediaPlayerStateChanged, nullptr,
                                       [this](const Notification&) { stateChanged(); });
    observers_[1] =
        center.addObserver(kLaunchVideoNotification, nullptr, [this](const Notification&) {
            told_ = false;
            triggerPageEvent(homePage_(), QString::fromLatin1(kOpenFailedEvent),
                             QStringLiteral("''"));
        });
}

OpenFailureReporter::~OpenFailureReporter() {
    for (const auto id : observers_) center_.removeObserver(id);
}

void OpenFailureReporter::stateChanged() {
    const MediaPlayer* player = player_();
    if (told_ || !player || player->state() != kMediaPlayerStateError) return;
    told_ = true;
    QString reason = player->openFailure();
    if (reason.isEmpty()) reason = QStringLiteral("the video engine gave no reason");
    logLine("Couldn't open video: " + reason.toStdString());
    triggerPageEvent(homePage_(), QString::fromLatin1(kOpenFailedEvent), jsStringLiteral(reason));
}

}  // namespace lirra
