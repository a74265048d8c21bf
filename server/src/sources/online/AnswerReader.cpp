// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnswerReader.h"

#include <nlohmann/json.hpp>

#include "ApiLanguages.h"

namespace lirra::server::online {
namespace {

using nlohmann::json;

// Deep nesting costs stack when the parsed value is taken apart; no real answer nests deeper
// than a few levels, so such bodies are refused before parsing.
bool nestedTooDeeply(std::string_view body) {
    int depth = 0;
    bool inString = false, escaped = false;
    for (char c : body) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

json parseObject(std::string_view body, std::string& error) {
    if (body.empty()) {
        error = "the answer was empty";
        return json();
    }
    if (nestedTooDeeply(body)) {
        error = "the answer nests too deeply";
        return json();
    }
    json doc = json::parse(body.begin(), body.end(), nullptr, false);
    if (doc.is_discarded()) {
        error = "the answer is not JSON";
        return json();
    }
    if (!doc.is_object()) {
        error = "the answer is not a JSON object";
        return json();
    }
    return doc;
}

// Text fit for a log line or a file name: bounded, no control characters. Longer text is
// treated as missing rather than cut, so that a cut link is never followed.
std::string cleanText(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return {};
    const auto& text = it->get_ref<const std::string&>();
    if (text.size() > kMaxAnswerTextBytes) return {};
    std::string out = text;
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return out;
}

std::optional<std::int64_t> integer(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) return std::nullopt;
    if (it->is_number_unsigned()) {
        const auto value = it->get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<std::int64_t>(value);
    }
    if (it->is_number_integer()) return it->get<std::int64_t>();
    return std::nullopt;
}

bool flag(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

std::optional<Candidate> readCandidate(const json& entry) {
    if (!entry.is_object()) return std::nullopt;
    const auto attributes = entry.find("attributes");
    if (attributes == entry.end() || !attributes->is_object()) return std::nullopt;
    const json& a = *attributes;
    Candidate candidate;
    candidate.language = codeForApiLanguage(cleanText(a, "language"));
    if (candidate.language.empty()) return std::nullopt;
    // A subtitle split over several files (one per disc) does not fit one video file.
    const auto files = a.find("files");
    if (files == a.end() || !files->is_array() || files->size() != 1) return std::nullopt;
    const json& file = files->front();
    if (!file.is_object()) return std::nullopt;
    const auto id = integer(file, "file_id");
    if (!id || *id <= 0) return std::nullopt;
    candidate.fileId = *id;
    candidate.fileName = cleanText(file, "file_name");
    candidate.hashMatch = flag(a, "moviehash_match");
    candidate.machineTranslated = flag(a, "machine_translated");
    candidate.aiTranslated = flag(a, "ai_translated");
    candidate.hearingImpaired = flag(a, "hearing_impaired");
    candidate.downloads = std::max<std::int64_t>(0, integer(a, "download_count").value_or(0));
    return candidate;
}

std::string messageOf(const json& doc) {
    std::string message = cleanText(doc, "message");
    if (const auto errors = doc.find("errors"); errors != doc.end() && errors->is_array()) {
        for (const json& item : *errors) {
            if (!item.is_string() || item.get_ref<const std::string&>().size() > 200) continue;
            if (!message.empty()) message += "; ";
            message += item.get<std::string>();
            if (message.size() > 300) break;
        }
    }
    for (char& c : message) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    // Cut at a character boundary, so that the message stays valid UTF-8.
    std::size_t cut = std::min<std::size_t>(message.size(), 300);
    while (cut < message.size() && cut > 0 &&
           (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80)
        --cut;
    return message.substr(0, cut);
}

std::string errorOr(const json& doc, std::string fallback) {
    const std::string message = messageOf(doc);
    return message.empty() ? fallback : fallback + ": " + message;
}

}  // namespace

SearchAnswer readSearchAnswer(std::string_view body) {
    SearchAnswer answer;
    const json doc = parseObject(body, answer.error);
    if (!answer.error.empty()) return answer;
    const auto data = doc.find("data");
    if (data == doc.end() || !data->is_array()) {
        answer.error = errorOr(doc, "the search answer has no list of subtitles");
        return answer;
    }
    for (const json& entry : *data) {
        if (answer.candidates.size() >= kMaxCandidates) break;
        if (auto candidate = readCandidate(entry))
            answer.candidates.push_back(std::move(*candidate));
    }
    return answer;
}

LinkAnswer readLinkAnswer(std::string_view body) {
    LinkAnswer answer;
    const json doc = parseObject(body, answer.error);
    if (!answer.error.empty()) return answer;
    answer.remaining = integer(doc, "remaining");
    answer.resetTimeUtc = cleanText(doc, "reset_time_utc");
    answer.link = cleanText(doc, "link");
    if (answer.link.empty()) {
        answer.error = errorOr(doc, "the download answer has no link");
        return answer;
    }
    answer.fileName = cleanText(doc, "file_name");
    return answer;
}

LoginAnswer readLoginAnswer(std::string_view body) {
    LoginAnswer answer;
    const json doc = parseObject(body, answer.error);
    if (!answer.error.empty()) return answer;
    answer.token = cleanText(doc, "token");
    if (answer.token.empty() || answer.token.find(' ') != std::string::npos) {
        answer.token.clear();
        answer.error = errorOr(doc, "the login answer has no token");
        return answer;
    }
    answer.baseUrl = cleanText(doc, "base_url");
    if (const auto user = doc.find("user"); user != doc.end() && user->is_object()) {
        answer.allowedDownloads = integer(*user, "allowed_downloads");
    }
    return answer;
}

std::string readErrorMessage(std::string_view body) {
    if (body.empty() || nestedTooDeeply(body)) return {};
    const json doc = json::parse(body.begin(), body.end(), nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return {};
    return messageOf(doc);
}

std::optional<std::chrono::seconds> readRetryAfter(std::string_view header) {
    while (!header.empty() && (header.front() == ' ' || header.front() == '\t'))
        header.remove_prefix(1);
    while (!header.empty() && (header.back() == ' ' || header.back() == '\t'))
        header.remove_suffix(1);
    if (header.empty() || header.size() > 12) return std::nullopt;
    std::int64_t value = 0;
    for (char c : header) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return std::chrono::seconds(std::min<std::int64_t>(value, 24 * 3600));
}

std::optional<std::chrono::system_clock::time_point> readUtcTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS[.fraction]Z
    if (text.size() < 20 || text.size() > 40 || text.back() != 'Z') return std::nullopt;
    auto number = [&](std::size_t at, std::size_t digits) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    if (text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const auto hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (text.size() > 20) {
        if (text[19] != '.' || text.size() == 21) return std::nullopt;
        for (std::size_t i = 20; i + 1 < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
        }
    }
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    // The clock counts nanoseconds in 64 bits: years far from now would overflow it.
    if (*year < 1970 || *year > 2200) return std::nullopt;
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 60) return std::nullopt;
    return std::chrono::sys_days(date) + std::chrono::hours(*hour) + std::chrono::minutes(*minute) +
           std::chrono::seconds(*second);
}

}  // namespace lirra::server::online
