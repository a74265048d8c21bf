// SPDX-License-Identifier: GPL-3.0-or-later
// Our switches join those the learner gave the engine, which win where they name the same one.
#include <gtest/gtest.h>

#include "platform/qt/quickweb/EngineSwitches.h"

namespace lirra {
namespace {

TEST(EngineSwitchesTest, OursFollowTheGivenOnesUnlessTheyNameThemAlready) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "--process-per-site"},
        {"  --disable-gpu ", "--disable-gpu --process-per-site"},
        {"--process-per-site --disable-gpu", "--process-per-site --disable-gpu"},
        {"--process-per-site=no", "--process-per-site=no"},
        {"--process-per-site-x", "--process-per-site-x --process-per-site"},
    };
    for (const auto& [given, expected] : rows) EXPECT_EQ(withEngineSwitches(given), expected);
}

}  // namespace
}  // namespace lirra
