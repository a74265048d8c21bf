// SPDX-License-Identifier: GPL-3.0-or-later
// A fake of the online subtitle database's REST API on loopback, in the shape of its documented
// examples; tests change its data or intercept an endpoint to make it misbehave.
#pragma once

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/LoopbackHttpServer.h"

namespace lirra::test {

struct FakeSubtitle {
    long fileId = 0;
    std::string language;  // the API's code: "en", "es", "pt-BR"
    bool hashMatch = true, hearingImpaired = false, machineTranslated = false, aiTranslated = false;
    long downloads = 100;
    std::string title = "big buck bunny";  // what a query by title finds
    int season = 0, episode = 0;           // 0: a film
};

// Answers an endpoint instead of the fake's own logic when it returns true.
using Override = LoopbackHttpServer::Intercept;

// An SRT file the fake serves for a file id.
inline std::string fakeSubtitleText(long fileId) {
    return "1\r\n00:00:00,500 --> 00:00:03,000\r\nLine of file " + std::to_string(fileId) +
           "\r\n\r\n";
}

class FakeApi {
  public:
    using json = nlohmann::json;
    using Req = httplib::Request;
    using Res = httplib::Response;

    // With a certificate and its key the fake speaks HTTPS.
    explicit FakeApi(const TlsFiles& tls = {}) : http(tls) {
        auto withKey = [this](void (FakeApi::*handler)(const Req&, Res&)) {
            return [this, handler](const Req& req, Res& res) {
                if (req.get_header_value("Api-Key") != key)
                    return answer(res, 401, {{"message", "You cannot consume this service"}});
                (this->*handler)(req, res);
            };
        };
        http.server()
            .Get("/api/v1/subtitles", withKey(&FakeApi::search))
            .Post("/api/v1/download", withKey(&FakeApi::download))
            .Post("/api/v1/login", withKey(&FakeApi::login))
            .Get(R"(/files/(\d+)\.srt)", [](const Req& req, Res& res) {
                res.set_content(fakeSubtitleText(std::stol(req.matches[1].str())),
                                "application/x-subrip");
            });
        http.start();
    }

    std::string origin() const { return http.url(""); }  // "http://127.0.0.1:PORT" (or https)
    std::string root() const { return http.url("/api/v1"); }

    // Its data; change before the client asks.
    std::string key = "test-key";
    std::string knownHash = "00a1b2c3d4e5f607";  // the video the database knows by hash
    std::vector<FakeSubtitle> subtitles;
    std::string user = "learner", password = "secret words", token = "tok.en.123";
    std::string loginBaseUrl;  // base_url answered by /login; empty: this fake's host and port
    long remaining = 20;       // downloads left before 406
    std::string resetTimeUtc = "2030-01-02T00:00:00.000Z";  // when the quota renews

    // path: "/subtitles", "/download", "/login" (under the root) or "/files/ID.srt".
    void overrideEndpoint(const std::string& path, Override handler) {
        http.intercept(onServer(path), std::move(handler));
    }
    // The requests for that path, or all of them.
    std::vector<RecordedRequest> seen(const std::string& path = {}) const {
        return path.empty() ? http.requests() : http.requests(onServer(path));
    }
    void forget() { http.clearRequests(); }

    LoopbackHttpServer http;

  private:
    static std::string onServer(const std::string& path) {
        return path.rfind("/files/", 0) == 0 ? path : "/api/v1" + path;
    }
    static void answer(Res& res, int status, const json& body) {
        res.status = status;
        res.set_content(body.dump(), "application/json");
    }

    // One entry of the search answer's "data", shaped like the documented example (fields the
    // client does not read are left out, but for a few it must pass over).
    static json subtitleJson(const FakeSubtitle& s, bool viaHash) {
        return {
            {"id", std::to_string(s.fileId + 9000000)},
            {"type", "subtitle"},
            {"attributes",
             {{"language", s.language},
              {"download_count", s.downloads},
              {"hearing_impaired", s.hearingImpaired},
              {"ai_translated", s.aiTranslated},
              {"machine_translated", s.machineTranslated},
              {"feature_details", {{"title", s.title}, {"season_number", s.season}}},
              {"files", json::array({{{"file_id", s.fileId},
                                      {"cd_number", 1},
                                      {"file_name", "Big.Buck.Bunny." + s.language + ".srt"}}})},
              {"moviehash_match", viaHash && s.hashMatch}}}};
    }

    void search(const Req& req, Res& res) {
        // As the client sends them: "en,pt-br", a lower-case query.
        const std::string languages = "," + req.get_param_value("languages") + ",";
        const std::string hash = req.get_param_value("moviehash");
        const std::string query = req.get_param_value("query");
        const int season = std::atoi(req.get_param_value("season_number").c_str());
        const int episode = std::atoi(req.get_param_value("episode_number").c_str());
        json data = json::array();
        for (const auto& s : subtitles) {
            if (languages.find("," + s.language + ",") == std::string::npos) continue;
            const bool byHash = !hash.empty() && hash == knownHash;
            const bool byTitle = hash.empty() && !query.empty() && query == s.title &&
                                 season == s.season && episode == s.episode;
            if (byHash || byTitle) data.push_back(subtitleJson(s, byHash));
        }
        json page = json::parse(R"({"total_pages": 1, "per_page": 60, "page": 1})");
        page.update({{"total_count", data.size()}, {"data", data}});
        answer(res, 200, page);
    }

    void download(const Req& req, Res& res) {
        const json body = json::parse(req.body, nullptr, false);
        if (!body.is_object() || !body.contains("file_id") || !body["file_id"].is_number_integer())
            return answer(res, 400, {{"message", "file_id is required"}});
        json quota = {{"requests", 21 - std::max(0L, remaining)},
                      {"remaining", std::max(0L, remaining - 1)},
                      {"reset_time_utc", resetTimeUtc}};
        if (remaining-- <= 0) {
            quota["message"] = "You have downloaded your allowed 20 subtitles for 24h.";
            return answer(res, 406, quota);
        }
        quota.update({{"link", origin() + "/files/" + body["file_id"].dump() + ".srt"},
                      {"file_name", "Big.Buck.Bunny.srt"}});
        answer(res, 200, quota);
    }

    void login(const Req& req, Res& res) {
        const json body = json::parse(req.body, nullptr, false);
        if (!body.is_object() || body.value("username", "") != user ||
            body.value("password", "") != password) {
            return answer(res, 401, {{"message", "Invalid username/password"}, {"status", 401}});
        }
        const std::string base = "127.0.0.1:" + std::to_string(http.port());
        answer(res, 200,
               {{"user", {{"allowed_downloads", 100}, {"vip", false}}},
                {"base_url", loginBaseUrl.empty() ? base : loginBaseUrl},
                {"token", token},
                {"status", 200}});
    }
};

}  // namespace lirra::test
