#include "FakeApi.h"

#include <nlohmann/json.hpp>
#include <sstream>

namespace lirra::test {
namespace {

using nlohmann::json;

constexpr char kPrefix[] = "/api/v1";

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
    return parts;
}

// One entry of the search answer's "data", shaped like the documented example (fields the
// client does not read are left out, except a few it must pass over).
json subtitleJson(const FakeSubtitle& s, bool viaHash) {
    const std::string id = std::to_string(s.fileId + 9000000);
    json feature = {{"feature_type", s.season ? "Episode" : "Movie"}, {"title", s.title}};
    if (s.season) {
        feature["season_number"] = s.season;
        feature["episode_number"] = s.episode;
    }
    return {{"id", id},
            {"type", "subtitle"},
            {"attributes",
             {{"subtitle_id", id},
              {"language", s.language},
              {"download_count", s.downloads},
              {"hearing_impaired", s.hearingImpaired},
              {"ai_translated", s.aiTranslated},
              {"machine_translated", s.machineTranslated},
              {"uploader", {{"uploader_id", 47823}, {"name", "someone"}}},
              {"feature_details", feature},
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

FakeApi::FakeApi(const std::string& certFile, const std::string& keyFile)
    : server_(certFile.empty()
                  ? std::make_unique<httplib::Server>()
                  : std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())),
      tls_(!certFile.empty()) {
    server_->set_keep_alive_max_count(1);
    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        handle(req, res);
    };
    server_->Get(".*", handler);
    server_->Post(".*", handler);
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

FakeApi::~FakeApi() {
    stopping = true;
    server_->stop();
    thread_.join();
}

std::string FakeApi::origin() const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::string FakeApi::root() const { return origin() + kPrefix; }

void FakeApi::overrideEndpoint(const std::string& path, Override handler) {
    std::lock_guard lock(mutex_);
    overrides_[path] = std::move(handler);
}

std::vector<SeenRequest> FakeApi::seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

std::vector<SeenRequest> FakeApi::seen(const std::string& path) const {
    std::vector<SeenRequest> matching;
    for (auto& s : seen()) {
        if (s.path == path) matching.push_back(s);
    }
    return matching;
}

void FakeApi::forget() {
    std::lock_guard lock(mutex_);
    seen_.clear();
}

void FakeApi::handle(const httplib::Request& req, httplib::Response& res) {
    std::string path = req.path, query;
    if (const auto q = req.target.find('?'); q != std::string::npos)
        query = req.target.substr(q + 1);
    if (path.rfind(kPrefix, 0) == 0) path = path.substr(sizeof kPrefix - 1);
    Override override;
    {
        std::lock_guard lock(mutex_);
        seen_.push_back({req.method, path, query, req.get_header_value("Api-Key"),
                         req.get_header_value("User-Agent"), req.get_header_value("Authorization"),
                         req.body});
        if (const auto it = overrides_.find(path); it != overrides_.end()) override = it->second;
    }
    if (override && override(req, res)) return;
    if (path.rfind("/files/", 0) == 0) {
        res.set_content(fakeSubtitleText(std::atol(path.c_str() + 7)), "application/x-subrip");
        return;
    }
    if (req.get_header_value("Api-Key") != key) {
        res.status = 401;
        res.set_content(R"({"message":"You cannot consume this service","status":401})",
                        "application/json");
        return;
    }
    if (path == "/subtitles" && req.method == "GET") return search(req, res);
    if (path == "/download" && req.method == "POST") return download(req, res);
    if (path == "/login" && req.method == "POST") return login(req, res);
    res.status = 404;
    res.set_content(R"({"message":"not found"})", "application/json");
}

void FakeApi::search(const httplib::Request& req, httplib::Response& res) {
    const auto languages = split(req.get_param_value("languages"), ',');
    const std::string hash = req.get_param_value("moviehash");
    const std::string query = lower(req.get_param_value("query"));
    const int season = std::atoi(req.get_param_value("season_number").c_str());
    const int episode = std::atoi(req.get_param_value("episode_number").c_str());
    json data = json::array();
    std::lock_guard lock(mutex_);
    for (const auto& s : subtitles) {
        if (std::find(languages.begin(), languages.end(), lower(s.language)) == languages.end())
            continue;
        const bool byHash = !hash.empty() && hash == knownHash;
        const bool byTitle = hash.empty() && !query.empty() && query == s.title &&
                             season == s.season && episode == s.episode;
        if (byHash || byTitle) data.push_back(subtitleJson(s, byHash));
    }
    const json answer = {{"total_pages", 1},
                         {"total_count", data.size()},
                         {"per_page", 60},
                         {"page", 1},
                         {"data", data}};
    res.set_content(answer.dump(), "application/json");
}

void FakeApi::download(const httplib::Request& req, httplib::Response& res) {
    const json body = json::parse(req.body, nullptr, false);
    std::lock_guard lock(mutex_);
    if (!body.is_object() || !body.contains("file_id") || !body["file_id"].is_number_integer()) {
        res.status = 400;
        res.set_content(R"({"message":"file_id is required"})", "application/json");
        return;
    }
    if (remaining <= 0) {
        res.status = 406;
        res.set_content(json{{"requests", 21},
                             {"remaining", 0},
                             {"message", "You have downloaded your allowed 20 subtitles for 24h."},
                             {"reset_time_utc", "2030-01-02T00:00:00.000Z"}}
                            .dump(),
                        "application/json");
        return;
    }
    --remaining;
    const long id = body["file_id"].get<long>();
    const json answer = {{"link", origin() + "/files/" + std::to_string(id) + ".srt"},
                         {"file_name", "Big.Buck.Bunny.srt"},
                         {"requests", 20 - remaining},
                         {"remaining", remaining},
                         {"reset_time_utc", "2030-01-02T00:00:00.000Z"}};
    res.set_content(answer.dump(), "application/json");
}

void FakeApi::login(const httplib::Request& req, httplib::Response& res) {
    const json body = json::parse(req.body, nullptr, false);
    std::lock_guard lock(mutex_);
    if (!body.is_object() || body.value("username", "") != user ||
        body.value("password", "") != password) {
        res.status = 401;
        res.set_content(R"({"message":"Invalid username/password","status":401})",
                        "application/json");
        return;
    }
    const std::string base =
        loginBaseUrl.empty() ? "127.0.0.1:" + std::to_string(port_) : loginBaseUrl;
    const json answer = {{"user", {{"allowed_downloads", 100}, {"vip", false}}},
                         {"base_url", base},
                         {"token", token},
                         {"status", 200}};
    res.set_content(answer.dump(), "application/json");
}

}  // namespace lirra::test
