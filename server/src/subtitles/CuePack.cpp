// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/CuePack.h"

#include <cstdint>

namespace lirra::server {
namespace {

void put(std::string& out, std::uint64_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
}

bool take(std::string_view& in, std::uint64_t& value, int bytes) {
    if (in.size() < static_cast<std::size_t>(bytes)) return false;
    value = 0;
    for (int k = 0; k < bytes; ++k)
        value |= std::uint64_t(static_cast<unsigned char>(in[k])) << (8 * k);
    in.remove_prefix(bytes);
    return true;
}

}  // namespace

std::string packCues(const std::vector<Cue>& cues) {
    std::string out;
    for (const auto& cue : cues) {
        put(out, static_cast<std::uint64_t>(cue.startMs), 8);
        put(out, static_cast<std::uint64_t>(cue.endMs), 8);
        put(out, cue.text.size(), 4);
        out += cue.text;
    }
    return out;
}

std::optional<std::vector<Cue>> unpackCues(std::string_view bytes) {
    std::vector<Cue> cues;
    while (!bytes.empty()) {
        std::uint64_t start = 0, end = 0, size = 0;
        if (!take(bytes, start, 8) || !take(bytes, end, 8) || !take(bytes, size, 4) ||
            bytes.size() < size) {
            return std::nullopt;
        }
        cues.push_back({static_cast<std::int64_t>(start), static_cast<std::int64_t>(end),
                        std::string(bytes.substr(0, size))});
        bytes.remove_prefix(size);
    }
    return cues;
}

}  // namespace lirra::server
