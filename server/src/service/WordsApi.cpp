// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/WordsApi.h"

#include <string_view>

#include "dictionary/TextFold.h"
#include "service/HandlerSupport.h"
#include "subtitles/Text.h"
#include "subtitles/TextDecoder.h"

namespace lirra::server {
namespace {

using nlohmann::json;

// A line has a few dozen words; the page may ask for a screenful of lines at once.
constexpr std::size_t kMaxWordsPerRequest = 2000;
constexpr std::size_t kMaxWordBytes = 64;
constexpr std::size_t kMaxImportWords = 500000;

// The word as the store keeps it (lower case, typographic apostrophes plain), or nothing when
// it is not a word: markup, spaces, punctuation other than ' and -, no letter at all, or too long.
std::optional<std::string> normalWord(std::string_view raw) {
    if (raw.empty() || raw.size() > 4 * kMaxWordBytes || !isValidUtf8(raw)) return std::nullopt;
    std::string word;
    bool letter = false;  // "'", "--" or "42" are no words to learn
    for (std::size_t i = 0; i < raw.size();) {
        const char32_t c = dictionary::nextCodePoint(raw, i);
        // The apostrophes, hyphens and dots the pages keep inside a word, in one spelling.
        if (std::u32string_view(U"'\u2019\u2018\u02BC`\u00B4\u2032").find(c) !=
            std::u32string_view::npos) {
            word += '\'';
        } else if (c == U'-' || c == U'\u2010' || c == U'\u2011') {
            word += '-';
        } else if (c == U'.' || (c >= 0x300 && c < 0x370)) {  // "u.s", combining accents
            dictionary::appendUtf8(word, c);
        } else if (dictionary::isWordCodePoint(c)) {
            letter = letter || c < U'0' || c > U'9';
            dictionary::appendUtf8(word, dictionary::lowerCodePoint(c));
        } else {
            return std::nullopt;
        }
    }
    if (!letter || word.size() > kMaxWordBytes) return std::nullopt;
    return word;
}

bool knownStatus(const std::string& status, bool allowNew) {
    return status == "learning" || status == "known" || (allowNew && status == "new");
}

std::optional<json> jsonBody(const HttpRequest& request, HttpResponse& refusal) {
    if (mediaType(request) != "application/json") {
        refusal = HttpResponse::error(415, "expected application/json");
        return std::nullopt;
    }
    auto body = json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        refusal = HttpResponse::error(400, "the body is not a JSON object");
        return std::nullopt;
    }
    return body;
}

// Shown in an answer: the start of what was sent, without control characters.
std::string shownText(std::string_view text) {
    std::string shown(text.substr(0, 40));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return json(isValidUtf8(shown) ? shown : std::string("?")).dump();
}

}  // namespace

HttpResponse wordStatuses(const ServiceContext& context, const HttpRequest& request) {
    HttpResponse refusal;
    const auto body = jsonBody(request, refusal);
    if (!body) return refusal;
    const auto it = body->find("words");
    if (it == body->end() || !it->is_array()) {
        return HttpResponse::error(400, "expected {\"words\": [...]}");
    }
    if (it->size() > kMaxWordsPerRequest) {
        return HttpResponse::error(
            400, "at most " + std::to_string(kMaxWordsPerRequest) + " words in one request");
    }
    std::vector<std::string> asked;
    std::vector<std::string> words;
    for (const auto& item : *it) {
        if (!item.is_string()) return HttpResponse::error(400, "every word must be a string");
        const auto& raw = item.get_ref<const std::string&>();
        const auto word = normalWord(raw);
        if (!word) return HttpResponse::error(400, "not a word: " + shownText(raw));
        asked.push_back(raw);
        words.push_back(*word);
    }
    std::vector<std::string> statuses;
    std::string error;
    if (context.store.wordStatuses(request.learner, words, statuses, error) != StoreStatus::Ok) {
        return storeFailure(error);
    }
    json answer = json::object();
    for (std::size_t i = 0; i < asked.size(); ++i) answer[asked[i]] = statuses[i];
    return jsonResponse(200, {{"statuses", answer}});
}

HttpResponse setWordStatus(const ServiceContext& context, const HttpRequest& request) {
    const auto word = normalWord(request.pathParams.at(0));
    if (!word) return HttpResponse::error(400, "not a word: " + shownText(request.pathParams[0]));
    HttpResponse refusal;
    const auto body = jsonBody(request, refusal);
    if (!body) return refusal;
    const auto status = body->value("status", json()).is_string()
                            ? body->at("status").get<std::string>()
                            : std::string();
    if (!knownStatus(status, true)) {
        return HttpResponse::error(400, "status must be new, learning or known");
    }
    std::optional<std::string> form = word;
    if (body->contains("form")) {
        const auto& value = body->at("form");
        form = value.is_string() ? normalWord(value.get<std::string>()) : std::nullopt;
        if (!form) return HttpResponse::error(400, "the form is not a word");
    }
    std::string error;
    if (context.store.setWordStatus(request.learner, *word, *form, status, error) !=
        StoreStatus::Ok) {
        return storeFailure(error);
    }
    return jsonResponse(200, {{"word", *word}, {"form", *form}, {"status", status}});
}

HttpResponse importWords(const ServiceContext& context, const HttpRequest& request) {
    const auto* statusParam = request.queryValue("status");
    const std::string status = statusParam ? *statusParam : "known";
    if (!knownStatus(status, false)) {
        return HttpResponse::error(400, "an import marks words learning or known");
    }
    const auto decoded = decodeToUtf8(request.body);
    if (!decoded.error.empty()) {
        return HttpResponse::error(400, "the file is not text: " + decoded.error);
    }
    std::vector<std::string> words;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    const std::string& text = decoded.text;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++lineNumber;
        std::string_view line(text.data() + start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (!line.empty()) {
            const auto word = normalWord(line);
            if (!word) {
                return HttpResponse::error(400, "line " + std::to_string(lineNumber) +
                                                    " is not one word: " + shownText(line) +
                                                    "; nothing was imported");
            }
            words.push_back(*word);
            if (words.size() > kMaxImportWords) {
                return HttpResponse::error(413, "more than " + std::to_string(kMaxImportWords) +
                                                    " words; nothing was imported");
            }
        }
        start = end + 1;
    }
    std::int64_t changed = 0;
    std::string error;
    if (context.store.importWords(request.learner, words, status, changed, error) !=
        StoreStatus::Ok) {
        return storeFailure(error);
    }
    return jsonResponse(
        200, {{"words", words.size()}, {"changed", changed}, {"encoding", decoded.encoding}});
}

HttpResponse exportWords(const ServiceContext& context, const HttpRequest& request) {
    const auto* statusParam = request.queryValue("status");
    const std::string status = statusParam ? *statusParam : "known";
    if (!knownStatus(status, false)) {
        return HttpResponse::error(400, "the export lists learning or known words");
    }
    std::vector<std::string> words;
    WordCounts counts;
    std::string error;
    if (context.store.markedWords(request.learner, status, words, counts, error) !=
        StoreStatus::Ok) {
        return storeFailure(error);
    }
    std::string body;
    for (const auto& word : words) body += word + "\n";
    auto response = HttpResponse::text(200, std::move(body));
    response.headers.emplace_back("Content-Disposition",
                                  "attachment; filename=\"" + status + "-words.txt\"");
    return response;
}

HttpResponse wordCounts(const ServiceContext& context, const HttpRequest& request) {
    std::vector<std::string> words;
    WordCounts counts;
    std::string error;
    if (context.store.markedWords(request.learner, "", words, counts, error) != StoreStatus::Ok) {
        return storeFailure(error);
    }
    return jsonResponse(200, {{"known", counts.known}, {"learning", counts.learning}});
}

}  // namespace lirra::server
