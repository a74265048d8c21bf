#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/Log.h"

namespace lirra {
namespace {

TEST(LogTest, SinkReceivesWholeLinesFromEveryThread) {
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
    setLogSink(previous);

    ASSERT_EQ(lines.size(), 1000u);
    std::set<std::string> distinct(lines.begin(), lines.end());
    EXPECT_EQ(distinct.size(), 1000u);
    EXPECT_TRUE(distinct.count("thread 3 line 249"));
}

// Lines on stderr without a sink: the end-to-end journeys read the app's log from there.

}  // namespace
}  // namespace lirra
