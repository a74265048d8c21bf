// SPDX-License-Identifier: GPL-3.0-or-later
#include "TitleGuess.h"

#include <array>
#include <vector>

namespace lirra::server::online {
namespace {

constexpr std::size_t kMaxTitleBytes = 100;

// Words that start the release details in a file name; the title comes before them.
constexpr std::array<std::string_view, 40> kReleaseWords{
    "480p",     "576p",       "720p",    "1080p", "1080i",   "2160p",  "4k",     "uhd",
    "bluray",   "blu-ray",    "bdrip",   "brrip", "bdremux", "remux",  "webrip", "web-dl",
    "webdl",    "web",        "hdtv",    "hdrip", "dvdrip",  "dvdscr", "dvd",    "x264",
    "x265",     "h264",       "h265",    "hevc",  "xvid",    "divx",   "proper", "repack",
    "extended", "remastered", "unrated", "10bit", "hdr",     "aac",    "ac3",    "dts"};

bool isDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

int toInt(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

// "s01e02", "s1e2", "s01e02e03": season and (first) episode.
bool readSeasonEpisode(std::string_view token, TitleGuess& guess) {
    if (token.size() < 4 || token[0] != 's') return false;
    const auto e = token.find('e', 1);
    if (e == std::string_view::npos) return false;
    const auto season = token.substr(1, e - 1);
    auto rest = token.substr(e + 1);
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    const auto episode = rest.substr(0, digits);
    if (!isDigits(season) || season.size() > 2 || !isDigits(episode) || episode.size() > 3)
        return false;
    guess.season = toInt(season);
    guess.episode = toInt(episode);
    return true;
}

// "1x02".
bool readCrossForm(std::string_view token, TitleGuess& guess) {
    const auto x = token.find('x');
    if (x == std::string_view::npos) return false;
    const auto season = token.substr(0, x), episode = token.substr(x + 1);
    if (!isDigits(season) || season.size() > 2 || !isDigits(episode) || episode.size() < 2 ||
        episode.size() > 3) {
        return false;
    }
    guess.season = toInt(season);
    guess.episode = toInt(episode);
    return true;
}

bool isYear(std::string_view token) {
    if (token.size() != 4 || !isDigits(token)) return false;
    const int year = toInt(token);
    return year >= 1900 && year <= 2099;
}

bool isReleaseWord(std::string_view token) {
    for (auto word : kReleaseWords) {
        if (token == word) return true;
    }
    return false;
}

std::vector<std::string> tokens(std::string_view fileName) {
    if (const auto slash = fileName.find_last_of("/\\"); slash != std::string_view::npos) {
        fileName.remove_prefix(slash + 1);
    }
    if (const auto dot = fileName.rfind('.');
        dot != std::string_view::npos && fileName.size() - dot <= 5) {
        fileName = fileName.substr(0, dot);
    }
    std::vector<std::string> words;
    std::string word;
    int bracketDepth = 0;  // [group] and {tags} say nothing about the title
    auto flush = [&] {
        // Dashes alone separate parts ("Show - S01E02 - Name"); they are not words.
        if (!word.empty() && word.find_first_not_of('-') != std::string::npos)
            words.push_back(word);
        word.clear();
    };
    for (char c : fileName) {
        if (c == '[' || c == '{') {
            flush();
            ++bracketDepth;
        } else if (c == ']' || c == '}') {
            flush();
            if (bracketDepth > 0) --bracketDepth;
        } else if (bracketDepth > 0) {
            continue;
        } else if (c == '.' || c == '_' || c == ' ' || c == '+' || c == '(' || c == ')' ||
                   c == ',' || static_cast<unsigned char>(c) < 0x20) {
            flush();
        } else {
            word.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        }
    }
    flush();
    return words;
}

}  // namespace

TitleGuess guessTitle(std::string_view fileName) {
    TitleGuess guess;
    const auto words = tokens(fileName);
    std::string title;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (readSeasonEpisode(w, guess) || readCrossForm(w, guess)) break;
        // A year opening the name is the title itself ("1917.2019.mkv").
        if (i > 0 && isYear(w)) {
            guess.year = toInt(w);
            break;
        }
        if (i > 0 && isReleaseWord(w)) break;
        if (title.size() + 1 + w.size() > kMaxTitleBytes) break;
        if (!title.empty()) title.push_back(' ');
        title += w;
    }
    // A trailing dash-word such as "name-" loses its dashes.
    while (!title.empty() && (title.back() == '-' || title.back() == ' ')) title.pop_back();
    guess.title = std::move(title);
    return guess;
}

}  // namespace lirra::server::online
