// SPDX-License-Identifier: GPL-3.0-or-later
// Driving the Qt event loop from GoogleTest tests, where no main() of ours makes an application.
#pragma once

#include <chrono>
#include <functional>

namespace lirra::test {

// Makes the process's QCoreApplication unless one exists (a test needing widgets makes its own).
void ensureCoreApplication();

// Processes events until `done` answers true or `timeout` passes; returns the last answer.
bool runEventLoopUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Processes events for `duration`: how a test shows that nothing more arrives.
inline void runEventLoopFor(std::chrono::milliseconds duration) {
    runEventLoopUntil([] { return false; }, duration);
}

}  // namespace lirra::test
