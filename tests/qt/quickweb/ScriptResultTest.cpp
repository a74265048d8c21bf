// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers from a page's script as the pages' native side has always read them.
#include <gtest/gtest.h>

#include <limits>

#include "platform/qt/quickweb/ScriptResult.h"

namespace lirra {
namespace {

TEST(ScriptResultTest, NumbersReadAsJavaScriptPrintsThem) {
    const std::pair<double, const char*> rows[] = {
        {-0.0, "0"},
        {0.1 + 0.2, "0.30000000000000004"},
        {-42, "-42"},
        {1e21, "1e+21"},
        {123456789012345680000.0, "123456789012345680000"},  // beyond the exact digits
        {1.5e-7, "1.5e-7"},
        {-2.5e25, "-2.5e+25"},
        {0.000001, "0.000001"},
        {1234.5678, "1234.5678"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {-std::numeric_limits<double>::infinity(), "-Infinity"},
    };
    for (const auto& [number, text] : rows) EXPECT_EQ(javaScriptNumberToString(number), text);
}

}  // namespace
}  // namespace lirra
