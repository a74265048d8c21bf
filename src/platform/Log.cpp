// SPDX-License-Identifier: GPL-3.0-or-later
#include "Log.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

namespace lirra {

namespace {

// Lines are emitted one at a time so that lines from different threads never interleave. The
// lock is recursive so that a sink may itself log (or replace the sink) without deadlocking.
std::recursive_mutex& logMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

std::atomic<bool> tracing{false};

// Held through a shared_ptr so that replacing the sink from inside the sink leaves the running
// one alive until it returns.
std::shared_ptr<const LogSink>& currentSink() {
    static std::shared_ptr<const LogSink> sink;
    return sink;
}

void writeToStderr(const std::string& line) {
    std::string text = line;
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void logLine(const std::string& line) {
    std::lock_guard lock(logMutex());
    std::shared_ptr<const LogSink> sink = currentSink();
    if (sink) {
        (*sink)(line);
    } else {
        writeToStderr(line);
    }
}

void setTraceEnabled(bool enabled) { tracing = enabled; }

bool traceEnabled() { return tracing; }

void traceLine(const std::string& line) {
    if (tracing) logLine(line);
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard lock(logMutex());
    std::shared_ptr<const LogSink> previous = std::move(currentSink());
    if (sink) {
        currentSink() = std::make_shared<const LogSink>(std::move(sink));
    } else {
        currentSink().reset();
    }
    return previous ? *previous : LogSink{};
}

}  // namespace lirra
