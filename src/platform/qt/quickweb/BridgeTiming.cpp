// SPDX-License-Identifier: GPL-3.0-or-later
#include "BridgeTiming.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/Log.h"

namespace lirra {

bool bridgeTimingEnabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("LIRRA_BRIDGE_TIMING");
        return value && *value;
    }();
    return enabled;
}

double steadyMicros() {
    using namespace std::chrono;
    return duration<double, std::micro>(steady_clock::now().time_since_epoch()).count();
}

void logBridgeStamp(const char* point, const QString& subject, double micros) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, " %.1f ", micros);
    logLine(std::string("Bridge timing: ") + point + stamp +
            subject.section(QLatin1Char('\n'), 0, 0).left(120).toStdString());
}

}  // namespace lirra
