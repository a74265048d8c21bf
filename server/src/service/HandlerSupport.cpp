// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/HandlerSupport.h"

#include <cstdio>

#include "subtitles/CuePack.h"
#include "subtitles/Language.h"
#include "subtitles/SubtitleParser.h"
#include "subtitles/Text.h"
#include "subtitles/TextDecoder.h"

namespace lirra::server {

using nlohmann::json;

HttpResponse jsonResponse(int status, const json& value) {
    // Everything put in is valid UTF-8; replacing rather than throwing keeps that a non-crash.
    return HttpResponse::jsonText(status,
                                  value.dump(-1, ' ', false, json::error_handler_t::replace));
}

HttpResponse storeFailure(const std::string& error) {
    std::fprintf(stderr, "lirra-server: %s\n", error.c_str());
    if (isStoreBusy(error)) {
        auto response = HttpResponse::error(503, "the store is busy; try again in a moment");
        response.headers.emplace_back("Retry-After", "1");
        return response;
    }
    return HttpResponse::error(500, "the store failed");
}

std::string mediaType(const HttpRequest& request) {
    std::string type = request.header("content-type");
    type = type.substr(0, type.find(';'));
    while (!type.empty() && type.back() == ' ') type.pop_back();
    return asciiLower(type);
}

std::optional<std::int64_t> idParam(const std::string& text) {
    const auto value = parseDecimal(text, 0x7FFFFFFF);
    if (!value) return std::nullopt;
    return static_cast<std::int64_t>(*value);
}

std::optional<SubtitleRefusal> prepareSubtitle(const std::string& fileName, std::string bytes,
                                               std::size_t maxBytes, SubtitleContent& content) {
    if (bytes.size() > maxBytes) return SubtitleRefusal{413, "the subtitle file is too large"};
    content.language = guessLanguage(fileName);
    auto decoded = decodeToUtf8(bytes, content.language);
    if (!decoded.error.empty()) return SubtitleRefusal{422, decoded.error};
    const auto parsed = parseSubtitle(decoded.text);
    content.fileName = fileName;
    content.format = formatName(parsed.format);
    content.encoding = decoded.encoding;
    content.original = std::move(bytes);
    content.text = std::move(decoded.text);
    content.cues = packCues(parsed.cues);
    return std::nullopt;
}

}  // namespace lirra::server
