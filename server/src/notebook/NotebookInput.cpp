// SPDX-License-Identifier: GPL-3.0-or-later
#include "notebook/NotebookInput.h"

#include <set>

namespace lirra::server::notebook {
namespace {

using nlohmann::json;

constexpr std::int64_t kMaxId = 0x7FFFFFFF;

std::optional<std::int64_t> wholeNumber(const json& value) {
    if (value.is_number_integer()) return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        const auto n = value.get<std::uint64_t>();
        if (n <= static_cast<std::uint64_t>(INT64_MAX)) return static_cast<std::int64_t>(n);
    }
    // Times the page computed may come as 1500.0.
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (d >= -1e15 && d <= 1e15 && d == static_cast<double>(static_cast<std::int64_t>(d))) {
            return static_cast<std::int64_t>(d);
        }
    }
    return std::nullopt;
}

// The text cleaned: control characters other than a line break become spaces, runs of spaces
// at either end go.
std::string cleaned(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 && c != '\n') || u == 0x7F ? ' ' : c;
    }
    const auto first = out.find_first_not_of(" \n");
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(" \n") - first + 1);
}

bool readText(const json& body, const char* name, bool required, std::size_t maxBytes,
              std::string& into, std::string& error) {
    const auto it = body.find(name);
    if (it == body.end() || it->is_null()) {
        if (required) error = std::string(name) + " is missing";
        return !required;
    }
    if (!it->is_string()) {
        error = std::string(name) + " must be text";
        return false;
    }
    into = cleaned(it->get<std::string>());
    if (into.size() > maxBytes) {
        error = std::string(name) + " is longer than " + std::to_string(maxBytes) + " bytes";
        return false;
    }
    if (required && into.empty()) {
        error = std::string(name) + " is empty";
        return false;
    }
    return true;
}

}  // namespace

std::optional<NotebookEntry> readEntry(const json& body, std::string& error,
                                       const InputLimits& limits) {
    if (!body.is_object()) {
        error = "the body must be a JSON object";
        return std::nullopt;
    }
    NotebookEntry entry;
    const auto number = [&](const char* name, std::int64_t& into) {
        const auto it = body.find(name);
        const auto value = it == body.end() ? std::nullopt : wholeNumber(*it);
        if (!value) {
            error = std::string(name) + " must be a whole number";
            return false;
        }
        into = *value;
        return true;
    };
    if (!number("videoId", entry.videoId) || !number("startMs", entry.startMs) ||
        !number("endMs", entry.endMs)) {
        return std::nullopt;
    }
    if (entry.videoId < 1 || entry.videoId > kMaxId) {
        error = "videoId is not a video's id";
        return std::nullopt;
    }
    if (entry.startMs < 0 || entry.endMs < entry.startMs || entry.endMs > limits.maxTimeMs) {
        error = "the line's times must lie within the video: 0 <= startMs <= endMs <= " +
                std::to_string(limits.maxTimeMs);
        return std::nullopt;
    }
    if (entry.endMs - entry.startMs > limits.maxLineMs) {
        error = "the line is longer than " + std::to_string(limits.maxLineMs / 60000) + " minutes";
        return std::nullopt;
    }
    if (!readText(body, "text", true, limits.maxTextBytes, entry.text, error) ||
        !readText(body, "translation", false, limits.maxTextBytes, entry.translation, error) ||
        !readText(body, "word", false, limits.maxWordBytes, entry.word, error) ||
        !readText(body, "definition", false, limits.maxDefinitionBytes, entry.definition, error)) {
        return std::nullopt;
    }
    if (entry.word.find('\n') != std::string::npos) {
        error = "word must be on one line";
        return std::nullopt;
    }
    if (entry.word.empty() && !entry.definition.empty()) {
        error = "a definition needs its word";
        return std::nullopt;
    }
    return entry;
}

std::optional<std::vector<std::int64_t>> readIds(const json& body, std::string& error,
                                                 const InputLimits& limits) {
    const auto it = body.is_object() ? body.find("ids") : body.end();
    if (!body.is_object() || it == body.end() || !it->is_array()) {
        error = "the body must be {\"ids\": [...]}";
        return std::nullopt;
    }
    if (it->size() > limits.maxIds) {
        error = "at most " + std::to_string(limits.maxIds) + " items at a time";
        return std::nullopt;
    }
    std::vector<std::int64_t> ids;
    std::set<std::int64_t> seen;
    for (const auto& value : *it) {
        const auto id = wholeNumber(value);
        if (!id || *id < 1 || *id > kMaxId) {
            error = "ids must be item ids";
            return std::nullopt;
        }
        if (seen.insert(*id).second) ids.push_back(*id);
    }
    return ids;
}

}  // namespace lirra::server::notebook
