// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/PagesApi.h"

#include <algorithm>

#include "http/Multipart.h"
#include "service/HandlerSupport.h"
#include "subtitles/CuePack.h"
#include "subtitles/Text.h"

namespace lirra::server {
namespace {

using nlohmann::json;

json trackJson(const Track& track) {
    // Read when the track arrived; bytes that are no record answer no cue rather than fail.
    auto held = unpackCues(track.cues).value_or(std::vector<Cue>{});
    json cues = json::array();
    for (auto& cue : held) {
        cues.push_back({{"start", cue.startMs}, {"end", cue.endMs}, {"text", std::move(cue.text)}});
    }
    json answer = {{"subtitleId", track.id},     {"fileName", track.fileName},
                   {"language", track.language}, {"origin", track.origin},
                   {"format", track.format},     {"encoding", track.encoding},
                   {"cues", std::move(cues)}};
    // The reference has no "alignment": the others are fitted to it.
    if (!track.reference) {
        answer["alignment"] = nullptr;
        if (const auto& a = track.alignment) {
            answer["alignment"] = {
                {"to", a->referenceId}, {"scale", a->scale}, {"offsetMs", a->offsetMs}};
        }
    }
    return answer;
}

json videoJson(const VideoInfo& video) {
    return {{"videoId", video.id},          {"fileName", video.fileName},
            {"fileSize", video.size},       {"movieHash", video.hash},
            {"lastSeen", video.lastSeenMs}, {"trackCount", video.trackCount}};
}

}  // namespace

HttpResponse recentVideos(const ServiceContext& context, const HttpRequest& request) {
    int limit = 20;
    if (const std::string* text = request.queryValue("limit")) {
        const auto value = parseDecimal(*text, 200);
        if (!value || *value == 0) return HttpResponse::error(400, "limit must be 1 to 200");
        limit = static_cast<int>(*value);
    }
    std::vector<VideoInfo> videos;
    std::string error;
    if (context.store.recentVideos(request.learner, limit, videos, error) != StoreStatus::Ok)
        return storeFailure(error);
    json list = json::array();
    for (const auto& video : videos) list.push_back(videoJson(video));
    return jsonResponse(200, {{"videos", std::move(list)}});
}

HttpResponse videoTracks(const ServiceContext& context, const HttpRequest& request) {
    const auto id = idParam(request.pathParams.at(0));
    if (!id) return HttpResponse::error(404, "no such video");
    VideoInfo video;
    std::string error;
    const auto status = context.store.video(*id, video, error);
    if (status == StoreStatus::NotFound) return HttpResponse::error(404, "no such video");
    if (status != StoreStatus::Ok) return storeFailure(error);
    // Asked before the tracks are read: a source holds its tracks before it stops being
    // pending, so an answer that says "done" never lacks what was done.
    bool pending = false;
    for (const SubtitleSource* source : context.sources) pending = pending || source->pending(*id);
    std::vector<Track> tracks;
    if (context.store.tracks(*id, tracks, error) != StoreStatus::Ok) return storeFailure(error);
    json list = json::array();
    for (const auto& track : tracks) list.push_back(trackJson(track));
    json answer = videoJson(video);
    answer["tracks"] = std::move(list);
    answer["pending"] = pending;
    return jsonResponse(200, answer);
}

HttpResponse addSubtitles(const ServiceContext& context, const HttpRequest& request) {
    const auto id = idParam(request.pathParams.at(0));
    if (!id) return HttpResponse::error(404, "no such video");
    std::vector<std::pair<std::string, std::string>> files;  // name, bytes
    const std::string type = mediaType(request);
    if (type == "application/json") {
        if (request.body.size() > context.limits.maxJsonBytes)
            return HttpResponse::error(413, "too large");
        const json doc = json::parse(request.body, nullptr, false);
        if (doc.is_discarded() || !doc.is_object() || !doc.contains("fileName") ||
            !doc["fileName"].is_string() || !doc.contains("text") || !doc["text"].is_string()) {
            return HttpResponse::error(400, R"(expected {"fileName": string, "text": string})");
        }
        files.emplace_back(doc["fileName"].get<std::string>(), doc["text"].get<std::string>());
    } else if (const auto boundary = multipartBoundary(request.header("content-type"))) {
        if (request.body.size() > context.limits.maxMultipartBytes)
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
        if (name.empty() || rawName.size() > context.limits.maxFileNameBytes ||
            !isValidUtf8(rawName)) {
            return HttpResponse::error(400, "each subtitle file needs a name");
        }
        SubtitleContent content;
        const auto refusal =
            prepareSubtitle(name, std::move(bytes), context.limits.maxSubtitleBytes, content);
        if (refusal) return HttpResponse::error(refusal->status, name + ": " + refusal->reason);
        contents.push_back(std::move(content));
    }
    std::vector<std::int64_t> ids;
    std::string error;
    const auto status = context.store.addSubtitles(*id, contents, ids, error);
    if (status == StoreStatus::NotFound) return HttpResponse::error(404, "no such video");
    if (status != StoreStatus::Ok) return storeFailure(error);
    // Held: the file, its text and cues three times over need not stay while the answer is made.
    std::vector<SubtitleContent>().swap(contents);
    // Read back for the timing fits the store made as it held them.
    std::vector<Track> tracks;
    if (context.store.tracks(*id, tracks, error) != StoreStatus::Ok) return storeFailure(error);
    json list = json::array();
    for (const auto& track : tracks) {
        if (std::find(ids.begin(), ids.end(), track.id) != ids.end())
            list.push_back(trackJson(track));
    }
    return jsonResponse(201, {{"tracks", std::move(list)}});
}

}  // namespace lirra::server
