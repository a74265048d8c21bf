// SPDX-License-Identifier: GPL-3.0-or-later
// The texts the online client sends and names: search queries in the form the database caches
// best (parameters sorted, values lower case), the movie hash parameter, the subtitle file names.
#pragma once

#include <string>

#include "TitleGuess.h"

namespace lirra::server::online {

// 16 lower-case hex digits with leading zeros; empty for text that is no hash or all zeros
// (no hash was computed).
std::string paddedHash(const std::string& hash);

// "ai_translated=include&languages=en,es&machine_translated=include&moviehash=00ab...".
// Machine and AI translations are asked for too, so that one is there when nothing else is.
std::string hashSearchQuery(const std::string& hash, const std::string& languageParam);

// The same by title, with the episode, season and year the guess has.
std::string titleSearchQuery(const TitleGuess& guess, const std::string& languageParam);

// "Film.mkv" + "eng" + the name the database gave ("x.srt") -> "Film.eng.srt"; formats the
// service does not read become ".srt", which the database converts to on request anyway.
std::string subFileName(const std::string& videoName, const std::string& language,
                        const std::string& answeredName);

}  // namespace lirra::server::online
