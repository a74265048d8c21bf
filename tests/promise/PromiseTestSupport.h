// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the promise tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "promise/Promise.h"

namespace lirra::test {

// The int held by a value, or -1 for none (or anything else).
inline int intOf(const Value& value) {
    const int* held = std::any_cast<int>(&value);
    return held != nullptr ? *held : -1;
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Polls until `done` holds or `seconds` pass, for outcomes that arrive on another thread.
inline bool eventually(const std::function<bool()>& done, double seconds = 2.0) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (secondsSince(start) > seconds) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace lirra::test
