#include "Service.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "Assets.h"
#include "Form.h"
#include "Language.h"
#include "Multipart.h"
#include "SubtitleParser.h"
#include "Text.h"
#include "TextDecoder.h"

namespace lirra::server {
namespace {

using nlohmann::json;

std::string dump(const json& value) {
    // Everything put in is valid UTF-8; replacing rather than throwing keeps that a non-crash.
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

HttpResponse jsonResponse(int status, const json& value) {
    return HttpResponse::jsonText(status, dump(value));
}

HttpResponse storeFailure(const std::string& error) {
    std::fprintf(stderr, "lirra-server: %s\n", error.c_str());
    return HttpResponse::error(500, "the store failed");
}

std::string mediaType(const HttpRequest& request) {
    std::string type = request.header("content-type");
    type = type.substr(0, type.find(';'));
    while (!type.empty() && type.back() == ' ') type.pop_back();
    return asciiLower(type);
}

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

std::optional<std::int64_t> idParam(const std::string& text) {
    const auto value = parseDecimal(text, 0x7FFFFFFF);
    if (!value) return std::nullopt;
    return static_cast<std::int64_t>(*value);
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

// Decodes and parses a subtitle file for holding; the error says why it can't be held.
std::string prepareSubtitle(const std::string& fileName, std::string bytes, std::size_t maxBytes,
                            SubtitleContent& content) {
    if (bytes.size() > maxBytes) return "the subtitle file is too large";
    auto decoded = decodeToUtf8(bytes);
    if (!decoded.error.empty()) return decoded.error;
    const auto parsed = parseSubtitle(decoded.text);
    content.fileName = fileName;
    content.language = guessLanguage(fileName);
    content.format = formatName(parsed.format);
    content.encoding = decoded.encoding;
    content.original = std::move(bytes);
    content.text = std::move(decoded.text);
    return {};
}

json trackJson(const Track& track) {
    const auto parsed = parseSubtitle(track.text);
    json cues = json::array();
    for (const auto& cue : parsed.cues) {
        cues.push_back({{"start", cue.startMs}, {"end", cue.endMs}, {"text", cue.text}});
    }
    return {{"subtitleId", track.id}, {"fileName", track.fileName}, {"language", track.language},
            {"origin", track.origin}, {"format", track.format},     {"encoding", track.encoding},
            {"cues", std::move(cues)}};
}

json videoJson(const VideoInfo& video) {
    return {{"videoId", video.id},          {"fileName", video.fileName},
            {"fileSize", video.size},       {"movieHash", video.hash},
            {"lastSeen", video.lastSeenMs}, {"trackCount", video.trackCount}};
}

const Asset* findAsset(std::string_view name) {
    for (const auto& asset : embeddedAssets()) {
        if (asset.name == name) return &asset;
    }
    return nullptr;
}

HttpResponse page(std::string_view name) {
    const Asset* asset = findAsset(name);
    if (!asset) return HttpResponse::error(500, "page missing from the build");
    auto response = HttpResponse::html(std::string(asset->bytes));
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

}  // namespace

Service::Service(Store& store, Library& library, ServiceLimits limits,
                 std::function<std::string()> baseUrl)
    : store_(store), library_(library), limits_(limits), baseUrl_(std::move(baseUrl)) {}

std::vector<Route> Service::routes() {
    auto bind = [this](HttpResponse (Service::*method)(const HttpRequest&)) {
        return [this, method](const HttpRequest& request) { return (this->*method)(request); };
    };
    return {
        {"POST", "/Player/GetSubtitlesToDownload", limits_.maxFormBytes, bind(&Service::lookup)},
        {"GET", "/Subtitles/Download/([0-9]{1,10})", 0, bind(&Service::download)},
        {"POST", "/Subtitles/UploadSubtitles", limits_.maxMultipartBytes, bind(&Service::upload)},
        {"GET", "/Player/Home", 0, bind(&Service::homePage)},
        {"GET", "/Player/Play", 0, bind(&Service::playerPage)},
        {"GET", "/Account/Register", 0, bind(&Service::registerPage)},
        {"GET", "/Account/PlayerRegister", 0,
         [](const HttpRequest&) { return HttpResponse::redirect("Register"); }},
        {"GET", "/", 0, [](const HttpRequest&) { return HttpResponse::redirect("Player/Home"); }},
        {"GET", "/static/([A-Za-z0-9._-]{1,64})", 0, bind(&Service::staticFile)},
        {"GET", "/api/videos/recent", 0, bind(&Service::recentVideos)},
        {"GET", "/api/videos/([0-9]{1,10})/tracks", 0, bind(&Service::videoTracks)},
        {"POST", "/api/videos/([0-9]{1,10})/subtitles",
         std::max(limits_.maxMultipartBytes, limits_.maxJsonBytes), bind(&Service::addSubtitles)},
    };
}

std::string Service::publicBaseUrl(const HttpRequest& request) const {
    // Downloads are offered at the address the client used to reach us, so a shared service
    // works under whatever name its clients know it by.
    const std::string host = request.header("host");
    if (validHost(host)) return "http://" + host + "/";
    return baseUrl_();
}

HttpResponse Service::lookup(const HttpRequest& request) {
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
    if (name->size() > limits_.maxFileNameBytes)
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
    for (auto& match : library_.findSubtitles(*name)) {
        offers.push_back(
            {std::move(match.path), std::move(match.fileName), std::move(match.language)});
    }
    std::int64_t videoId = 0;
    std::vector<SubtitleEntry> entries;
    std::string error;
    if (store_.recordLookup(key, nativeLanguage, offers, videoId, entries, error) !=
        StoreStatus::Ok) {
        return storeFailure(error);
    }
    const std::string base = publicBaseUrl(request);
    json subs = json::array();
    for (const auto& entry : entries) {
        subs.push_back({{"subtitleId", entry.id},
                        {"subFileName", entry.fileName},
                        {"downloadUrl", base + "Subtitles/Download/" + std::to_string(entry.id)},
                        {"mustBeDownloaded", !entry.held}});
    }
    return jsonResponse(200, {{"videoId", videoId}, {"subsToDownload", std::move(subs)}});
}

HttpResponse Service::download(const HttpRequest& request) {
    const auto id = idParam(request.pathParams.at(0));
    if (!id) return HttpResponse::error(404, "no such subtitle");
    DownloadSource source;
    std::string error;
    const auto status = store_.downloadSource(*id, source, error);
    if (status == StoreStatus::NotFound) return HttpResponse::error(404, "no such subtitle");
    if (status != StoreStatus::Ok) return storeFailure(error);
    std::string bytes;
    if (source.held) {
        bytes = std::move(*source.held);
    } else {
        auto read = source.libraryPath.empty() ? std::nullopt
                                               : library_.readFile(source.libraryPath, error);
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

HttpResponse Service::upload(const HttpRequest& request) {
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
        const std::string error =
            prepareSubtitle(displayFileName(part.fileName.value_or("")), part.content,
                            limits_.maxSubtitleBytes, upload.content);
        if (!error.empty()) {
            return HttpResponse::error(error == "the subtitle file is too large" ? 413 : 422,
                                       "subtitle " + part.name + ": " + error);
        }
        uploads.push_back(std::move(upload));
    }
    std::string error;
    const auto status = store_.storeUploads(uploads, error);
    if (status == StoreStatus::NotFound) {
        return HttpResponse::error(404, "subtitle " + error + " was never offered");
    }
    if (status != StoreStatus::Ok) return storeFailure(error);
    return jsonResponse(200, {{"stored", uploads.size()}});
}

HttpResponse Service::homePage(const HttpRequest&) { return page("home.html"); }

HttpResponse Service::playerPage(const HttpRequest& request) {
    // The client prints the id as an unsigned 64-bit number; the page reads it from its URL.
    const std::string* id = request.queryValue("videoId");
    if (!id || !parseDecimal(*id, UINT64_MAX)) {
        return HttpResponse::error(400, "videoId must be a decimal number");
    }
    return page("play.html");
}

HttpResponse Service::registerPage(const HttpRequest&) { return page("register.html"); }

HttpResponse Service::staticFile(const HttpRequest& request) {
    const std::string& name = request.pathParams.at(0);
    // Pages are served by their own routes; only scripts and styles live here.
    if (name.ends_with(".html")) return HttpResponse::error(404, "no such file");
    const Asset* asset = findAsset(name);
    if (!asset) return HttpResponse::error(404, "no such file");
    HttpResponse response;
    response.contentType = name.ends_with(".css") ? "text/css; charset=utf-8"
                                                  : "application/javascript; charset=utf-8";
    response.body = std::string(asset->bytes);
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

HttpResponse Service::recentVideos(const HttpRequest& request) {
    int limit = 20;
    if (const std::string* text = request.queryValue("limit")) {
        const auto value = parseDecimal(*text, 200);
        if (!value || *value == 0) return HttpResponse::error(400, "limit must be 1 to 200");
        limit = static_cast<int>(*value);
    }
    std::vector<VideoInfo> videos;
    std::string error;
    if (store_.recentVideos(limit, videos, error) != StoreStatus::Ok) return storeFailure(error);
    json list = json::array();
    for (const auto& video : videos) list.push_back(videoJson(video));
    return jsonResponse(200, {{"videos", std::move(list)}});
}

HttpResponse Service::videoTracks(const HttpRequest& request) {
    const auto id = idParam(request.pathParams.at(0));
    if (!id) return HttpResponse::error(404, "no such video");
    VideoInfo video;
    std::string error;
    const auto status = store_.video(*id, video, error);
    if (status == StoreStatus::NotFound) return HttpResponse::error(404, "no such video");
    if (status != StoreStatus::Ok) return storeFailure(error);
    std::vector<Track> tracks;
    if (store_.tracks(*id, tracks, error) != StoreStatus::Ok) return storeFailure(error);
    json list = json::array();
    for (const auto& track : tracks) list.push_back(trackJson(track));
    json answer = videoJson(video);
    answer["tracks"] = std::move(list);
    return jsonResponse(200, answer);
}

HttpResponse Service::addSubtitles(const HttpRequest& request) {
    const auto id = idParam(request.pathParams.at(0));
    if (!id) return HttpResponse::error(404, "no such video");
    std::vector<std::pair<std::string, std::string>> files;  // name, bytes
    const std::string type = mediaType(request);
    if (type == "application/json") {
        if (request.body.size() > limits_.maxJsonBytes)
            return HttpResponse::error(413, "too large");
        const json doc = json::parse(request.body, nullptr, false);
        if (doc.is_discarded() || !doc.is_object() || !doc.contains("fileName") ||
            !doc["fileName"].is_string() || !doc.contains("text") || !doc["text"].is_string()) {
            return HttpResponse::error(400, R"(expected {"fileName": string, "text": string})");
        }
        files.emplace_back(doc["fileName"].get<std::string>(), doc["text"].get<std::string>());
    } else if (const auto boundary = multipartBoundary(request.header("content-type"))) {
        if (request.body.size() > limits_.maxMultipartBytes)
            return HttpResponse::error(413, "too large");
        auto body = parseMultipart(request.body, *boundary);
        if (!body.error.empty()) return HttpResponse::error(400, body.error);
        for (auto& part : body.parts) {
            if (part.fileName) files.emplace_back(*part.fileName, std::move(part.content));
        }
    } else {
        return HttpResponse::error(415, "expected multipart/form-data or application/json");
    }
    if (files.empty()) return HttpResponse::error(400, "no subtitle file in the request");
    std::vector<SubtitleContent> contents;
    for (auto& [rawName, bytes] : files) {
        const std::string name = displayFileName(rawName);
        if (name.empty() || rawName.size() > limits_.maxFileNameBytes || !isValidUtf8(rawName)) {
            return HttpResponse::error(400, "each subtitle file needs a name");
        }
        SubtitleContent content;
        const std::string error =
            prepareSubtitle(name, std::move(bytes), limits_.maxSubtitleBytes, content);
        if (!error.empty()) {
            return HttpResponse::error(error == "the subtitle file is too large" ? 413 : 422,
                                       name + ": " + error);
        }
        contents.push_back(std::move(content));
    }
    std::vector<std::int64_t> ids;
    std::string error;
    const auto status = store_.addSubtitles(*id, contents, ids, error);
    if (status == StoreStatus::NotFound) return HttpResponse::error(404, "no such video");
    if (status != StoreStatus::Ok) return storeFailure(error);
    json list = json::array();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        list.push_back(trackJson({ids[i], contents[i].fileName, contents[i].language, "learner",
                                  contents[i].format, contents[i].encoding, contents[i].text}));
    }
    return jsonResponse(201, {{"tracks", std::move(list)}});
}

}  // namespace lirra::server
