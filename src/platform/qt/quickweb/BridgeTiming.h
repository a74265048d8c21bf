// SPDX-License-Identifier: GPL-3.0-or-later
// Where a bridge round trip's time goes: with LIRRA_BRIDGE_TIMING set, the web view logs a
// steady-clock stamp at each native step of a bridge URL and of a reply, and readings of the
// page's clock against ours, for bench/bridge to line up with the page's own stamps.
// Off by default: the readings cost an evaluation of their own per reply.
#pragma once

#include <QString>

namespace lirra {

bool bridgeTimingEnabled();
// Microseconds of the steady clock (the monotonic clock the engine's performance.now() counts).
double steadyMicros();
// "Bridge timing: POINT MICROSECONDS SUBJECT", the subject cut to its first line's 120 characters.
void logBridgeStamp(const char* point, const QString& subject, double micros = steadyMicros());

}  // namespace lirra
