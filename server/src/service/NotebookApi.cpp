// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/NotebookApi.h"

#include <climits>
#include <map>

#include "notebook/Notebook.h"
#include "notebook/NotebookInput.h"
#include "notebook/TsvExport.h"
#include "service/Assets.h"
#include "service/HandlerSupport.h"
#include "subtitles/Text.h"

namespace lirra::server {
namespace {

using nlohmann::json;

constexpr int kDefaultLimit = 100;
constexpr int kMaxLimit = 500;
constexpr std::size_t kMaxQueryBytes = 200;

json itemJson(const NotebookItem& item, const std::string& videoFile) {
    const auto& e = item.entry;
    return {{"id", item.id},
            {"videoId", e.videoId},
            {"videoName", item.videoName},
            {"startMs", e.startMs},
            {"endMs", e.endMs},
            {"text", e.text},
            {"translation", e.translation},
            {"word", e.word},
            {"definition", e.definition},
            {"createdAt", item.createdMs},
            {"sent", item.sentMs != 0},
            {"videoFile", videoFile.empty() ? json(nullptr) : json(videoFile)}};
}

json notesJson(const std::vector<notebook::ItemNote>& notes, const char* name) {
    json list = json::array();
    for (const auto& note : notes) list.push_back({{"id", note.id}, {name, note.text}});
    return list;
}

std::optional<json> jsonBody(const HttpRequest& request, HttpResponse& refusal) {
    if (mediaType(request) != "application/json") {
        refusal = HttpResponse::error(415, "expected application/json");
        return std::nullopt;
    }
    auto body = json::parse(request.body, nullptr, false);
    if (body.is_discarded()) {
        refusal = HttpResponse::error(400, "the body is not JSON");
        return std::nullopt;
    }
    return body;
}

}  // namespace

HttpResponse notebookPage(const ServiceContext&, const HttpRequest&) {
    for (const auto& asset : embeddedAssets()) {
        if (asset.name != "notebook.html") continue;
        auto response = HttpResponse::html(std::string(asset.bytes));
        response.headers.emplace_back("Cache-Control", "no-cache");
        return response;
    }
    return HttpResponse::error(500, "page missing from the build");
}

HttpResponse saveToNotebook(const ServiceContext& context, const HttpRequest& request) {
    HttpResponse refusal;
    const auto body = jsonBody(request, refusal);
    if (!body) return refusal;
    std::string error;
    const auto entry = notebook::readEntry(*body, error);
    if (!entry) return HttpResponse::error(400, error);
    std::int64_t id = 0;
    bool created = false;
    switch (context.store.saveNotebookItem(request.learner, *entry, id, created, error)) {
        case StoreStatus::Ok:
            return jsonResponse(created ? 201 : 200, {{"id", id}});
        case StoreStatus::NotFound:
            return HttpResponse::error(404, "no such video");
        case StoreStatus::Failed:
            break;
    }
    return storeFailure(error);
}

HttpResponse listNotebook(const ServiceContext& context, const HttpRequest& request) {
    NotebookQuery query;
    query.limit = kDefaultLimit;
    if (const std::string* text = request.queryValue("query")) {
        if (text->size() > kMaxQueryBytes || !isValidUtf8(*text)) {
            return HttpResponse::error(400, "query must be text of at most 200 bytes");
        }
        query.search = *text;
    }
    if (const std::string* limit = request.queryValue("limit")) {
        const auto value = parseDecimal(*limit, kMaxLimit);
        if (!value || *value == 0) return HttpResponse::error(400, "limit must be 1 to 500");
        query.limit = static_cast<int>(*value);
    }
    if (const std::string* unsent = request.queryValue("unsent")) query.unsentOnly = *unsent == "1";
    std::vector<NotebookItem> items;
    std::string error;
    if (context.store.notebookItems(request.learner, query, items, error) != StoreStatus::Ok) {
        return storeFailure(error);
    }
    std::map<std::int64_t, std::string> files;  // per video, looked for once
    json list = json::array();
    for (const auto& item : items) {
        const auto videoId = item.entry.videoId;
        if (!files.count(videoId)) {
            files[videoId] = context.notebook ? context.notebook->videoPath(videoId) : "";
        }
        list.push_back(itemJson(item, files[videoId]));
    }
    auto response = jsonResponse(200, {{"items", list}});
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

HttpResponse deleteFromNotebook(const ServiceContext& context, const HttpRequest& request) {
    const auto id = idParam(request.pathParams.at(0));
    if (!id) return HttpResponse::error(404, "no such item");
    std::string error;
    switch (context.store.deleteNotebookItem(request.learner, *id, error)) {
        case StoreStatus::Ok:
            return jsonResponse(200, {{"deleted", *id}});
        case StoreStatus::NotFound:
            return HttpResponse::error(404, "no such item");
        case StoreStatus::Failed:
            break;
    }
    return storeFailure(error);
}

HttpResponse sendNotebookToAnki(const ServiceContext& context, const HttpRequest& request) {
    if (!context.notebook) return HttpResponse::error(503, "the notebook is not running");
    HttpResponse refusal;
    const auto body = jsonBody(request, refusal);
    if (!body) return refusal;
    std::string error;
    const auto ids = notebook::readIds(*body, error);
    if (!ids) return HttpResponse::error(400, error);
    const notebook::AnkiReport report = context.notebook->sendToAnki(request.learner, *ids);
    json answer = {{"added", report.added},
                   {"duplicates", report.duplicates},
                   {"failed", notesJson(report.failed, "error")},
                   {"withoutMedia", notesJson(report.withoutMedia, "reason")}};
    if (!report.error.empty()) answer["error"] = report.error;
    return jsonResponse(200, answer);
}

HttpResponse exportNotebook(const ServiceContext& context, const HttpRequest& request) {
    NotebookQuery query;
    query.limit = INT_MAX;
    query.oldestFirst = true;
    std::vector<NotebookItem> items;
    std::string error;
    if (context.store.notebookItems(request.learner, query, items, error) != StoreStatus::Ok) {
        return storeFailure(error);
    }
    HttpResponse response;
    response.contentType = "text/tab-separated-values; charset=utf-8";
    response.body = notebook::notebookTsv(items);
    response.headers.emplace_back("Content-Disposition",
                                  "attachment; filename=\"lirra-notebook.txt\"");
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

}  // namespace lirra::server
