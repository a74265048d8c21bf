// SPDX-License-Identifier: GPL-3.0-or-later
// What the subtitle queues' class operations need from outside: where to send requests, where
// to post "LaunchVideo", and the service's base URL. The queues are class-level by design, so
// their environment is too: the lookup installs one before each video, tests install their own.
// Main thread only.
#pragma once

#include <QString>

#include "platform/NotificationCenter.h"
#include "platform/UrlConnection.h"

namespace lirra {

struct ServiceEnvironment {
    HttpClient* httpClient = nullptr;
    NotificationCenter* notificationCenter = nullptr;
    QString baseUrl;  // absolute, ending in "/"
};

void installServiceEnvironment(const ServiceEnvironment& environment);
const ServiceEnvironment& serviceEnvironment();

inline constexpr char kLaunchVideoNotification[] = "LaunchVideo";

// Posts "LaunchVideo" on the installed center; without one the video cannot launch, which is
// logged rather than lost without a word.
void postLaunchVideo();

}  // namespace lirra
