// SPDX-License-Identifier: GPL-3.0-or-later
// Log lines reach the sink whole from every thread; trace lines only once tracing is on.
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/Log.h"

namespace lirra {
namespace {

TEST(LogTest, TheSinkGetsWholeLinesFromEveryThreadAndTraceLinesOnlyWhenTracing) {
    std::mutex mutex;
    std::vector<std::string> lines;
    const LogSink previous = setLogSink([&](const std::string& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 250; ++i)
                logLine("thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), 1000u);
    EXPECT_EQ(lines.size(), 1000u);

    lines.clear();
    EXPECT_FALSE(traceEnabled());  // off unless `--verbose`
    traceLine("hidden");
    setTraceEnabled(true);
    traceLine("shown");
    setTraceEnabled(false);
    traceLine("hidden again");
    EXPECT_EQ(lines, std::vector<std::string>{"shown"});
    EXPECT_TRUE(setLogSink(previous));  // hands back the sink it replaces
}

}  // namespace
}  // namespace lirra
