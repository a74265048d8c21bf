// SPDX-License-Identifier: GPL-3.0-or-later
// What a video is called, guessed from its file name, for a search by title when the hash is
// unknown to the database: "The.Wire.S01E02.720p.mkv" -> "the wire", season 1, episode 2.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lirra::server::online {

struct TitleGuess {
    std::string title;  // lower case, words separated by one space; empty: nothing to search
    std::optional<int> season;
    std::optional<int> episode;
    std::optional<int> year;
};

TitleGuess guessTitle(std::string_view fileName);

}  // namespace lirra::server::online
