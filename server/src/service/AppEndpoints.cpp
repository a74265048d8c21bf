// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/AppEndpoints.h"

#include <cctype>
#include <chrono>

#include "http/Form.h"
#include "http/Multipart.h"
#include "service/HandlerSupport.h"
#include "sources/online/OnlineSource.h"
#include "subtitles/Language.h"
#include "subtitles/Text.h"

namespace lirra::server {
namespace {

using nlohmann::json;

// Hex digits only, at most 64 bits; normalised to lower case without leading zeros.
std::optional<std::string> normaliseHash(std::string_view text) {
    if (text.empty() || text.size() > 16) return std::nullopt;
    std::string hash;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        if (hash.empty() && c == '0') continue;
        hash.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return hash.empty() ? "0" : hash;
}

bool validHost(std::string_view host) {
    if (host.empty() || host.size() > 260) return false;
    std::string_view name = host;
    if (host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string_view::npos || close < 3) return false;
        for (char c : host.substr(1, close - 1)) {
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
        }
        name = {};
        host.remove_prefix(close + 1);
    } else {
        const auto colon = host.find(':');
        name = host.substr(0, colon);
        host = colon == std::string_view::npos ? std::string_view{} : host.substr(colon);
        if (name.empty()) return false;
        for (char c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') return false;
        }
    }
    if (host.empty()) return true;
    return host.front() == ':' && parseDecimal(host.substr(1), 65535).has_value();
}

std::string publicBaseUrl(const ServiceContext& context, const HttpRequest& request) {
    // Downloads are offered at the address the client used to reach us, so a shared service
    // works under whatever name its clients know it by.
    const std::string host = request.header("host");
    if (validHost(host)) return "http://" + host + "/";
    return context.baseUrl();
}

}  // namespace

HttpResponse lookup(const ServiceContext& context, const HttpRequest& request) {
    const auto started = std::chrono::steady_clock::now();
    if (mediaType(request) != "application/x-www-form-urlencoded") {
        return HttpResponse::error(415, "expected an application/x-www-form-urlencoded form");
    }
    const Form form = parseForm(request.body);
    if (!form.error.empty()) return HttpResponse::error(400, form.error);
    auto field = [&](const char* name) -> const std::string* {
        const auto it = form.fields.find(name);
        return it == form.fields.end() ? nullptr : &it->second;
    };
    const std::string* size = field("fileSize");
    const std::string* hash = field("movieHash");
    const std::string* name = field("fileName");
    if (!size || !hash || !name) {
        return HttpResponse::error(400, "fileSize, movieHash and fileName are required");
    }
    VideoKey key;
    const auto sizeValue = parseDecimal(*size, 0x7FFFFFFFFFFFFFFFULL);
    if (!sizeValue) return HttpResponse::error(400, "fileSize is not a size in bytes");
    key.size = *sizeValue;
    const auto hashValue = normaliseHash(*hash);
    if (!hashValue) return HttpResponse::error(400, "movieHash is not a 64-bit hexadecimal hash");
    key.hash = *hashValue;
    if (name->size() > context.limits.maxFileNameBytes)
        return HttpResponse::error(400, "fileName is too long");
    key.fileName = displayFileName(*name);
    std::string nativeLanguage;
    for (const char* languageField : {"targetLanguageCode", "nativeLanguageCode"}) {
        const std::string* value = field(languageField);
        if (value && !isLanguageCodeShape(*value)) {
            return HttpResponse::error(400, std::string(languageField) + " is not a language code");
        }
        if (value && std::string_view(languageField) == "nativeLanguageCode")
            nativeLanguage = *value;
    }

    std::vector<OfferedFile> offers;
    for (auto& match : context.library.findSubtitles(*name)) {
        offers.push_back(
            {std::move(match.path), std::move(match.fileName), std::move(match.language)});
    }
    std::int64_t videoId = 0;
    std::vector<SubtitleEntry> entries;
    std::string error;
    if (context.store.recordLookup(request.learner, key, nativeLanguage, offers, videoId, entries,
                                   error) != StoreStatus::Ok) {
        return storeFailure(error);
    }
    for (SubtitleSource* source : context.sources) source->lookedUp(videoId, key);
    const std::string base = publicBaseUrl(context, request);
    json subs = json::array();
    for (const auto& entry : entries) {
        subs.push_back({{"subtitleId", entry.id},
                        {"subFileName", entry.fileName},
                        {"downloadUrl", base + "Subtitles/Download/" + std::to_string(entry.id)},
                        {"mustBeDownloaded", !entry.held}});
    }
    if (context.online) {
        // The learner's two languages; the online source asks only for those no local source
        // has, once the local sources have answered, and waits a moment for the links.
        const std::string* target = field("targetLanguageCode");
        std::string targetCode = target ? languageCodeForTag(*target) : std::string();
        std::vector<std::string> wanted = {targetCode.empty() ? "eng" : targetCode};
        if (auto native = languageCodeForTag(nativeLanguage); !native.empty()) {
            wanted.push_back(std::move(native));
        }
        std::vector<std::string> offered;
        for (const auto& offer : offers) offered.push_back(offer.language);
        for (const auto& found : context.online->ask(videoId, key, wanted, offered, started)) {
            subs.push_back({{"subtitleId", found.subtitleId},
                            {"subFileName", found.fileName},
                            {"downloadUrl", found.link},
                            {"mustBeDownloaded", true}});
        }
    }
    return jsonResponse(200, {{"videoId", videoId}, {"subsToDownload", std::move(subs)}});
}

HttpResponse download(const ServiceContext& context, const HttpRequest& request) {
    const auto id = idParam(request.pathParams.at(0));
    if (!id) return HttpResponse::error(404, "no such subtitle");
    DownloadSource source;
    std::string error;
    const auto status = context.store.downloadSource(*id, source, error);
    if (status == StoreStatus::NotFound) return HttpResponse::error(404, "no such subtitle");
    if (status != StoreStatus::Ok) return storeFailure(error);
    std::string bytes;
    if (source.held) {
        bytes = std::move(*source.held);
    } else {
        auto read = source.libraryPath.empty()
                        ? std::nullopt
                        : context.library.readFile(source.libraryPath, error);
        if (!read) return HttpResponse::error(404, "the subtitle file is no longer available");
        bytes = std::move(*read);
    }
    HttpResponse response;
    response.contentType = "application/octet-stream";
    response.body = std::move(bytes);
    // The name is for people saving the file; quotes and backslashes would end the header's
    // quoted string, and control characters were removed when the name was stored.
    std::string safeName;
    for (char c : source.fileName) safeName.push_back(c == '"' || c == '\\' ? '_' : c);
    response.headers.emplace_back("Content-Disposition",
                                  "attachment; filename=\"" + safeName + "\"");
    return response;
}

HttpResponse upload(const ServiceContext& context, const HttpRequest& request) {
    const auto boundary = multipartBoundary(request.header("content-type"));
    if (!boundary) return HttpResponse::error(415, "expected multipart/form-data with a boundary");
    const auto body = parseMultipart(request.body, *boundary);
    if (!body.error.empty()) return HttpResponse::error(400, body.error);
    std::vector<Upload> uploads;
    for (const auto& part : body.parts) {
        const auto id = parseDecimal(part.name, 0xFFFFFFFFULL);
        if (!id)
            return HttpResponse::error(400, "a part's name is not a subtitle id: " + part.name);
        Upload upload;
        upload.subtitleId = static_cast<std::int64_t>(*id);
        const auto refusal =
            prepareSubtitle(displayFileName(part.fileName.value_or("")), part.content,
                            context.limits.maxSubtitleBytes, upload.content);
        if (refusal) {
            return HttpResponse::error(refusal->status,
                                       "subtitle " + part.name + ": " + refusal->reason);
        }
        uploads.push_back(std::move(upload));
    }
    std::string error;
    const auto status = context.store.storeUploads(uploads, error);
    if (status == StoreStatus::NotFound) {
        return HttpResponse::error(404, "subtitle " + error + " was never offered");
    }
    if (status != StoreStatus::Ok) return storeFailure(error);
    return jsonResponse(200, {{"stored", uploads.size()}});
}

}  // namespace lirra::server
