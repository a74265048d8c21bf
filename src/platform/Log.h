// SPDX-License-Identifier: GPL-3.0-or-later
// Free-form log lines (stderr, the system log of a desktop app). Tests install a sink to read them.
#pragma once

#include <functional>
#include <string>

namespace lirra {

void logLine(const std::string& line);

// Detail for finding out what happened between the app and its pages (page loads, bridge calls,
// scripts sent to pages): written only once enabled (`--verbose`), and then as log lines.
void setTraceEnabled(bool enabled);
bool traceEnabled();
void traceLine(const std::string& line);

// Replaces where lines go; an empty function restores stderr. Returns the previous sink.
using LogSink = std::function<void(const std::string&)>;
LogSink setLogSink(LogSink sink);

}  // namespace lirra
