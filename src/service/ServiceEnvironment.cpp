// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/ServiceEnvironment.h"

#include "platform/Log.h"

namespace lirra {

namespace {
ServiceEnvironment& installed() {
    static ServiceEnvironment environment;
    return environment;
}
}  // namespace

void installServiceEnvironment(const ServiceEnvironment& environment) { installed() = environment; }

const ServiceEnvironment& serviceEnvironment() { return installed(); }

void postLaunchVideo() {
    if (NotificationCenter* center = installed().notificationCenter) {
        center->post(kLaunchVideoNotification);
    } else {
        logLine("LaunchVideo not posted: no notification center installed");
    }
}

}  // namespace lirra
