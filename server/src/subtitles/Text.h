// SPDX-License-Identifier: GPL-3.0-or-later
// Small text helpers shared by the parsers: UTF-8 checks, strict numbers, display names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lirra::server {

bool isValidUtf8(std::string_view text);

// Strict unsigned decimal: digits only, no sign, no spaces, at most `max`.
std::optional<std::uint64_t> parseDecimal(std::string_view text, std::uint64_t max);

std::string asciiLower(std::string_view text);

// A file name fit for display and for headers: control characters become spaces, leading and
// trailing spaces go, and directory parts (either slash) are dropped. Expects valid UTF-8.
std::string displayFileName(std::string_view name);

}  // namespace lirra::server
