// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the subtitle database's JSON answers into small checked values. Every answer is outside
// input: wrong shapes, wrong types and absurd sizes give an error text, never an exception.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirra::server::online {

inline constexpr std::size_t kMaxCandidates = 1000;
inline constexpr std::size_t kMaxAnswerTextBytes = 1024;  // file names, links, messages
inline constexpr int kMaxJsonDepth = 32;

// One subtitle file the database offers.
struct Candidate {
    std::int64_t fileId = 0;
    std::string language;    // ISO 639-2/B
    std::string fileName;    // as the database names it; may be empty
    bool hashMatch = false;  // made for this exact video file
    bool machineTranslated = false;
    bool aiTranslated = false;
    bool hearingImpaired = false;
    std::int64_t downloads = 0;
};

struct SearchAnswer {
    std::vector<Candidate> candidates;  // only single-file subtitles in a known language
    std::string error;                  // not empty: the answer was unusable
};

struct LinkAnswer {
    std::string link;
    std::string fileName;
    std::optional<std::int64_t> remaining;  // downloads left today
    std::string resetTimeUtc;               // when the quota renews, ISO 8601
    std::string error;
};

struct LoginAnswer {
    std::string token;
    std::string baseUrl;  // the host later calls go to; may be empty
    std::optional<std::int64_t> allowedDownloads;
    std::string error;
};

SearchAnswer readSearchAnswer(std::string_view body);
LinkAnswer readLinkAnswer(std::string_view body);
LoginAnswer readLoginAnswer(std::string_view body);

// The database's own words in an error answer ({"message": ...} or {"errors": [...]}), cleaned
// for a log line; empty when there are none.
std::string readErrorMessage(std::string_view body);

// A Retry-After header: delay seconds only (the database sends no dates). Missing, malformed or
// negative gives nothing; large values are capped at a day.
std::optional<std::chrono::seconds> readRetryAfter(std::string_view header);

// "2024-05-01T00:00:00.000Z" (or without fractions) as a time point; nothing if malformed.
std::optional<std::chrono::system_clock::time_point> readUtcTime(std::string_view text);

}  // namespace lirra::server::online
