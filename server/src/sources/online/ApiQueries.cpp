// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApiQueries.h"

#include <cctype>

#include "ApiUrl.h"

namespace lirra::server::online {

std::string paddedHash(const std::string& hash) {
    if (hash.empty() || hash.size() > 16) return {};
    std::string out;
    for (char c : hash) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    if (out.find_first_not_of('0') == std::string::npos) return {};
    return std::string(16 - out.size(), '0') + out;
}

std::string hashSearchQuery(const std::string& hash, const std::string& languageParam) {
    return "ai_translated=include&languages=" + languageParam +
           "&machine_translated=include&moviehash=" + hash;
}

std::string titleSearchQuery(const TitleGuess& guess, const std::string& languageParam) {
    std::string query = "ai_translated=include";
    if (guess.episode) query += "&episode_number=" + std::to_string(*guess.episode);
    query += "&languages=" + languageParam + "&machine_translated=include";
    query += "&query=" + queryEncode(guess.title);
    if (guess.season) query += "&season_number=" + std::to_string(*guess.season);
    if (guess.year) query += "&year=" + std::to_string(*guess.year);
    return query;
}

std::string subFileName(const std::string& videoName, const std::string& language,
                        const std::string& answeredName) {
    std::string stem = videoName;
    if (const auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    if (stem.empty()) stem = "video";
    std::string ext;
    if (const auto dot = answeredName.rfind('.'); dot != std::string::npos) {
        ext = answeredName.substr(dot + 1);
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (ext != "srt" && ext != "vtt" && ext != "ass" && ext != "ssa" && ext != "sub") ext = "srt";
    return stem + "." + language + "." + ext;
}

}  // namespace lirra::server::online
