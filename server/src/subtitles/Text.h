// SPDX-License-Identifier: GPL-3.0-or-later
// Small text helpers shared by the parsers: UTF-8 checks, strict numbers, HTML escapes,
// display names.
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

// Appends `c`, or its entity when markup gives it a meaning (& < > " and the apostrophe), so
// that text is safe both between tags and inside a quoted attribute.
void appendHtmlEscaped(std::string& out, char c);

// Where the next `c` at or after a position is, for a reader that only moves forward: each
// search starts where the last one ended, so a text with many openers and no closer is scanned
// once rather than once per opener.
class ForwardFind {
  public:
    ForwardFind(std::string_view text, char c) : text_(text), c_(c) {}

    // `from` must not go back between calls.
    std::size_t from(std::size_t from) {
        if (!searched_ || (found_ != std::string_view::npos && found_ < from)) {
            found_ = text_.find(c_, from);
            searched_ = true;
        }
        return found_;
    }

  private:
    std::string_view text_;
    char c_;
    bool searched_ = false;
    std::size_t found_ = std::string_view::npos;
};

// A file name fit for display and for headers: control characters become spaces, leading and
// trailing spaces go, and directory parts (either slash) are dropped. Expects valid UTF-8.
std::string displayFileName(std::string_view name);

}  // namespace lirra::server
