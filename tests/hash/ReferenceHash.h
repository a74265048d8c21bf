// SPDX-License-Identifier: GPL-3.0-or-later
// The published OpenSubtitles movie hash, written independently: every byte shifted into its
// place in its 8-byte word (the sum of little-endian words modulo 2^64), printed by the library.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

namespace lirra::test {

inline std::string referenceHashText(const std::string& content) {
    const std::uint64_t size = content.size();
    std::uint64_t hash = size;
    const std::uint64_t blockBytes = 65536;
    for (std::uint64_t start : {std::uint64_t{0}, size - blockBytes}) {
        for (std::uint64_t i = 0; i < blockBytes; ++i) {
            const auto byte = static_cast<unsigned char>(content[start + i]);
            hash += std::uint64_t{byte} << (8 * (i % 8));
        }
    }
    std::ostringstream text;
    text << std::hex << std::nouppercase << hash;
    return text.str();
}

}  // namespace lirra::test
