// SPDX-License-Identifier: GPL-3.0-or-later
// What the pages may insert as cue text: HTML-escaped text with only balanced <b>, <i>, <u>,
// lines without surrounding spaces, no CR, no empty first or last line.
#pragma once

#include <string>
#include <string_view>

#include "FuzzCheck.h"

namespace lirra::fuzz {

inline void checkCueText(std::string_view text) {
    std::string open;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        FUZZ_CHECK(c != '>' && c != '"' && c != '\'' && c != '\r', "an unescaped character");
        if (c == '<') {
            const bool closing = text.substr(i + 1, 1) == "/";
            const std::size_t nameAt = i + 1 + (closing ? 1 : 0);
            FUZZ_CHECK(nameAt + 1 < text.size() && text[nameAt + 1] == '>',
                       "a tag other than b/i/u");
            const char tag = text[nameAt];
            FUZZ_CHECK(tag == 'b' || tag == 'i' || tag == 'u', "a tag other than b/i/u");
            if (closing) {
                FUZZ_CHECK(!open.empty() && open.back() == tag, "a tag closed out of order");
                open.pop_back();
            } else {
                FUZZ_CHECK(open.find(tag) == std::string::npos, "a tag nested in itself");
                open.push_back(tag);
            }
            i = nameAt + 2;
            continue;
        }
        if (c == '&') {
            bool known = false;
            for (std::string_view entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"}) {
                known = known || text.substr(i, entity.size()) == entity;
            }
            FUZZ_CHECK(known, "a bare '&'");
        }
        ++i;
    }
    FUZZ_CHECK(open.empty(), "a tag left open");
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const auto line = text.substr(start, end - start);
        FUZZ_CHECK(line.empty() || (line.front() != ' ' && line.back() != ' '),
                   "a line with surrounding spaces");
        if (start == 0 || end == text.size()) {
            FUZZ_CHECK(!line.empty() || text.empty(), "an empty first or last line");
        }
        start = end + 1;
    }
}

}  // namespace lirra::fuzz
