#include "FakeApi.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <sstream>

namespace lirra::test {
namespace {

using nlohmann::json;

constexpr char kPrefix[] = "/api/v1";

void answer(httplib::Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(), "application/json");
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// One entry of the search answer's "data", shaped like the documented example (fields the
// client does not read are left out, but for a few it must pass over).
json subtitleJson(const FakeSubtitle& s, bool viaHash) {
    return {{"id", std::to_string(s.fileId + 9000000)},
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

}  // namespace

std::string fakeSubtitleText(long fileId) {
    return "1\r\n00:00:00,500 --> 00:00:03,000\r\nLine of file " + std::to_string(fileId) +
           "\r\n\r\n";
}

FakeApi::FakeApi(const TlsFiles& tls) : http(tls) {
    auto withKey = [this](void (FakeApi::*handler)(const httplib::Request&, httplib::Response&)) {
        return [this, handler](const httplib::Request& req, httplib::Response& res) {
            if (req.get_header_value("Api-Key") != key) {
                return answer(res, 401, {{"message", "You cannot consume this service"}});
            }
            (this->*handler)(req, res);
        };
    };
    http.server()
        .Get(std::string(kPrefix) + "/subtitles", withKey(&FakeApi::search))
        .Post(std::string(kPrefix) + "/download", withKey(&FakeApi::download))
        .Post(std::string(kPrefix) + "/login", withKey(&FakeApi::login))
        .Get(R"(/files/(\d+)\.srt)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(fakeSubtitleText(std::stol(req.matches[1].str())),
                            "application/x-subrip");
        });
    http.start();
}

void FakeApi::search(const httplib::Request& req, httplib::Response& res) {
    std::vector<std::string> languages;
    std::stringstream list(req.get_param_value("languages"));
    for (std::string code; std::getline(list, code, ',');) languages.push_back(code);
    const std::string hash = req.get_param_value("moviehash");
    const std::string query = lower(req.get_param_value("query"));
    const int season = std::atoi(req.get_param_value("season_number").c_str());
    const int episode = std::atoi(req.get_param_value("episode_number").c_str());
    json data = json::array();
    for (const auto& s : subtitles) {
        if (std::find(languages.begin(), languages.end(), lower(s.language)) == languages.end())
            continue;
        const bool byHash = !hash.empty() && hash == knownHash;
        const bool byTitle = hash.empty() && !query.empty() && query == s.title &&
                             season == s.season && episode == s.episode;
        if (byHash || byTitle) data.push_back(subtitleJson(s, byHash));
    }
    json page = json::parse(R"({"total_pages": 1, "per_page": 60, "page": 1})");
    page.update({{"total_count", data.size()}, {"data", data}});
    answer(res, 200, page);
}

void FakeApi::download(const httplib::Request& req, httplib::Response& res) {
    const json body = json::parse(req.body, nullptr, false);
    if (!body.is_object() || !body.contains("file_id") || !body["file_id"].is_number_integer()) {
        return answer(res, 400, {{"message", "file_id is required"}});
    }
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

void FakeApi::login(const httplib::Request& req, httplib::Response& res) {
    const json body = json::parse(req.body, nullptr, false);
    if (!body.is_object() || body.value("username", "") != user ||
        body.value("password", "") != password) {
        return answer(res, 401, {{"message", "Invalid username/password"}, {"status", 401}});
    }
    answer(res, 200,
           {{"user", {{"allowed_downloads", 100}, {"vip", false}}},
            {"base_url",
             loginBaseUrl.empty() ? "127.0.0.1:" + std::to_string(http.port()) : loginBaseUrl},
            {"token", token},
            {"status", 200}});
}

}  // namespace lirra::test
