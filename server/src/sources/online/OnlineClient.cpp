// SPDX-License-Identifier: GPL-3.0-or-later
#include "OnlineClient.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "ApiLanguages.h"
#include "ApiQueries.h"
#include "BestFile.h"
#include "LinkFetch.h"
#include "TitleGuess.h"

namespace lirra::server::online {
namespace {

using SysClock = std::chrono::system_clock;
using TimePoint = SysClock::time_point;

constexpr auto kTokenLifetime = std::chrono::hours(23);  // the database's tokens last a day
constexpr auto kLinkLifetime = std::chrono::hours(1);    // its links last a few hours
constexpr auto kDefaultRetryAfter = std::chrono::seconds(10);

void logLine(const std::string& text) {
    std::fprintf(stderr, "lirra-server: online subtitles: %s\n", text.c_str());
}

TimePoint nextUtcMidnight(TimePoint now) {
    return std::chrono::floor<std::chrono::days>(now) + std::chrono::days(1);
}

}  // namespace

const char* statusName(OnlineStatus status) {
    switch (status) {
        case OnlineStatus::Off:
            return "off";
        case OnlineStatus::Ok:
            return "ok";
        case OnlineStatus::BadKey:
            return "bad-key";
        case OnlineStatus::Quota:
            return "quota";
        case OnlineStatus::Offline:
            return "offline";
    }
    return "off";
}

// What one call needs, taken under the lock so that calls run without it.
struct OnlineClient::Call {
    std::uint64_t generation = 0;
    std::string apiKey;
    std::string token;
    ApiUrl root;
    std::string caFile;
};

struct OnlineClient::Impl {
    ClientOptions options;
    mutable std::mutex mutex;  // everything below
    OnlineConfig config;
    std::optional<ApiUrl> root;
    ApiUrl sessionRoot;  // the root after a login moved it
    std::string token;
    TimePoint tokenAt{};
    std::uint64_t generation = 0;  // answers to an older configuration are dropped
    OnlineState state;
    TimePoint blockedUntil{};
    struct Search {
        TimePoint at;
        std::vector<Candidate> candidates;
    };
    std::map<std::string, Search> searches;
    struct Link {
        TimePoint at;
        LinkAnswer answer;
    };
    std::map<std::int64_t, Link> links;
    std::mutex loginMutex;  // one login at a time

    TimePoint now() const { return options.now ? options.now() : SysClock::now(); }

    Call snapshot() const { return {generation, config.apiKey, token, sessionRoot, config.caFile}; }

    net::ExchangeResult send(const Call& call, const std::string& method, const std::string& path,
                             const std::string& body, std::size_t maxBytes, bool withToken,
                             const std::atomic<bool>* cancel) const {
        net::ExchangeRequest request;
        request.method = method;
        request.url = call.root;
        request.url.path = call.root.path + path;
        request.headers = {{"Api-Key", call.apiKey},
                           {"User-Agent", options.userAgent},
                           {"Accept", "application/json"}};
        if (withToken && !call.token.empty())
            request.headers.emplace_back("Authorization", "Bearer " + call.token);
        request.body = body;
        request.contentType = "application/json";
        request.maxAnswerBytes = maxBytes;
        request.deadline = options.exchangeDeadline;
        request.caFile = call.caFile;
        return net::runExchange(request, cancel);
    }

    // Records a failure's lesson: who may be called again when. Returns the learner's message.
    std::string fail(const Call& call, OnlineStatus status, std::string message, TimePoint until,
                     const std::string& logText) {
        logLine(logText);
        std::lock_guard lock(mutex);
        if (call.generation != generation) return message;
        if (status != OnlineStatus::Ok) state.status = status;
        state.message = message;
        blockedUntil = std::max(blockedUntil, until);
        return message;
    }

    // Judges an answered or failed exchange; returns the learner's message when it failed.
    std::string judge(const Call& call, const net::ExchangeResult& result,
                      const std::string& what) {
        const TimePoint t = now();
        if (result.outcome == net::ExchangeOutcome::Cancelled) return "cancelled";
        if (result.outcome == net::ExchangeOutcome::TooLarge) {
            return unreadable(call, what, result.error);
        }
        if (result.outcome != net::ExchangeOutcome::Answered) {
            return fail(call, OnlineStatus::Offline, "The subtitle database could not be reached.",
                        t + options.offlinePause, what + ": " + result.error);
        }
        const int status = result.status;
        if (status == 200) return {};
        const std::string said = readErrorMessage(result.body);
        const std::string logText =
            what + ": HTTP " + std::to_string(status) + (said.empty() ? "" : " (" + said + ")");
        if (status == 401 || status == 403) {
            return fail(call, OnlineStatus::BadKey,
                        "The subtitle database refused the key or the user name and password.",
                        nextUtcMidnight(t), logText);
        }
        if (status == 406) {
            TimePoint until = nextUtcMidnight(t);
            const LinkAnswer answer = readLinkAnswer(result.body);
            if (const auto reset = readUtcTime(answer.resetTimeUtc);
                reset && *reset > t && *reset < t + std::chrono::hours(48)) {
                until = *reset;
            }
            {
                std::lock_guard lock(mutex);
                if (call.generation == generation) state.remaining = 0;
            }
            return fail(call, OnlineStatus::Quota,
                        "Today's downloads from the subtitle database are used up.", until,
                        logText);
        }
        if (status == 429) {
            const auto it = result.headers.find("retry-after");
            const auto wait =
                it == result.headers.end() ? std::nullopt : readRetryAfter(it->second);
            const auto pause = wait.value_or(kDefaultRetryAfter);
            return fail(call, OnlineStatus::Ok,
                        "The subtitle database asked Lirra to wait " +
                            std::to_string(pause.count()) + " s.",
                        t + pause, logText);
        }
        return fail(
            call, OnlineStatus::Offline,
            "The subtitle database answered with an error (HTTP " + std::to_string(status) + ").",
            t + options.offlinePause, logText);
    }

    std::string unreadable(const Call& call, const std::string& what, const std::string& error) {
        return fail(call, OnlineStatus::Offline,
                    "The subtitle database gave an answer Lirra could not read.",
                    now() + options.offlinePause, what + ": " + error);
    }

    void succeeded(const Call& call) {
        std::lock_guard lock(mutex);
        if (call.generation != generation) return;
        state.status = OnlineStatus::Ok;
        state.message.clear();
    }

    // Logs in when a user name and password are set and there is no fresh token; moves the
    // root to the base URL the login names. Returns the learner's message on failure.
    std::string ensureLogin(const std::atomic<bool>* cancel) {
        std::lock_guard once(loginMutex);
        Call call;
        std::string user, password;
        {
            std::lock_guard lock(mutex);
            if (!root || config.user.empty() || config.password.empty()) return {};
            if (!token.empty() && now() - tokenAt < kTokenLifetime) return {};
            call = snapshot();
            call.root = *root;
            user = config.user;
            password = config.password;
        }
        const std::string body = nlohmann::json{{"username", user}, {"password", password}}.dump(
            -1, ' ', false, nlohmann::json::error_handler_t::replace);
        const auto result =
            send(call, "POST", "/login", body, options.maxSmallAnswerBytes, false, cancel);
        if (auto message = judge(call, result, "login"); !message.empty()) return message;
        const LoginAnswer answer = readLoginAnswer(result.body);
        if (!answer.error.empty()) return unreadable(call, "login", answer.error);
        std::lock_guard lock(mutex);
        if (call.generation != generation) return "cancelled";
        token = answer.token;
        tokenAt = now();
        sessionRoot = withBaseUrl(*root, answer.baseUrl);
        return {};
    }

    std::string search(const std::string& query, std::vector<Candidate>& candidates,
                       const std::atomic<bool>* cancel) {
        Call call;
        {
            std::lock_guard lock(mutex);
            call = snapshot();
        }
        const auto result = send(call, "GET", "/subtitles?" + query, {},
                                 options.maxSearchAnswerBytes, false, cancel);
        if (auto message = judge(call, result, "search"); !message.empty()) return message;
        SearchAnswer answer = readSearchAnswer(result.body);
        if (!answer.error.empty()) return unreadable(call, "search", answer.error);
        succeeded(call);
        candidates = std::move(answer.candidates);
        return {};
    }

    std::string download(std::int64_t fileId, LinkAnswer& link, const std::atomic<bool>* cancel) {
        Call call;
        {
            std::lock_guard lock(mutex);
            if (const auto it = links.find(fileId);
                it != links.end() && now() - it->second.at < kLinkLifetime) {
                link = it->second.answer;
                return {};
            }
            // The quota may have run out with the link before this one.
            if (now() < blockedUntil) return state.message;
            call = snapshot();
        }
        const std::string body = nlohmann::json{{"file_id", fileId}}.dump();
        const auto result =
            send(call, "POST", "/download", body, options.maxSmallAnswerBytes, true, cancel);
        if (auto message = judge(call, result, "download"); !message.empty()) return message;
        link = readLinkAnswer(result.body);
        if (!link.error.empty()) return unreadable(call, "download", link.error);
        succeeded(call);
        std::lock_guard lock(mutex);
        if (call.generation != generation) return "cancelled";
        if (link.remaining) state.remaining = std::max<std::int64_t>(0, *link.remaining);
        links[fileId] = {now(), link};
        if (link.remaining && *link.remaining <= 0) {
            // This link still works; the next download would not.
            state.status = OnlineStatus::Quota;
            state.message = "Today's downloads from the subtitle database are used up.";
            blockedUntil = std::max(blockedUntil, nextUtcMidnight(now()));
        }
        return {};
    }

    bool cachedSearch(const std::string& key, std::vector<Candidate>& candidates) {
        std::lock_guard lock(mutex);
        const auto it = searches.find(key);
        if (it == searches.end() || now() - it->second.at >= options.cacheFor) return false;
        candidates = it->second.candidates;
        return true;
    }

    void remember(const std::string& key, std::vector<Candidate> candidates) {
        std::lock_guard lock(mutex);
        if (searches.size() >= options.maxCachedVideos) {
            auto oldest = searches.begin();
            for (auto it = searches.begin(); it != searches.end(); ++it) {
                if (it->second.at < oldest->second.at) oldest = it;
            }
            searches.erase(oldest);
        }
        searches[key] = {now(), std::move(candidates)};
    }
};

OnlineClient::OnlineClient(ClientOptions options) : impl_(new Impl) {
    impl_->options = std::move(options);
}

OnlineClient::~OnlineClient() = default;

std::string OnlineClient::configure(OnlineConfig config) {
    std::string error;
    std::optional<ApiUrl> root;
    if (!config.apiKey.empty()) {
        root = parseApiRoot(config.apiUrl.empty() ? kDefaultApiUrl : config.apiUrl, error);
    }
    std::lock_guard lock(impl_->mutex);
    const bool changed =
        config.apiKey != impl_->config.apiKey || config.user != impl_->config.user ||
        config.password != impl_->config.password || config.apiUrl != impl_->config.apiUrl;
    impl_->config = std::move(config);
    impl_->root = root;
    if (!changed && root) return error;
    ++impl_->generation;
    impl_->token.clear();
    impl_->searches.clear();
    impl_->links.clear();
    impl_->blockedUntil = {};
    impl_->state = {};
    if (root) {
        impl_->sessionRoot = *root;
        impl_->state.status = OnlineStatus::Ok;
    } else if (!error.empty()) {
        impl_->state.message = "The subtitle database's address is unusable: " + error;
    }
    return error;
}

OnlineState OnlineClient::state() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->state;
}

FindOutcome OnlineClient::find(const VideoRef& video, const std::vector<std::string>& languages,
                               const std::atomic<bool>* cancel) {
    FindOutcome outcome = findLinks(video, languages, cancel);
    // A cancelled search says nothing about the database.
    if (cancel && cancel->load()) outcome.message.clear();
    return outcome;
}

FindOutcome OnlineClient::findLinks(const VideoRef& video,
                                    const std::vector<std::string>& languages,
                                    const std::atomic<bool>* cancel) {
    FindOutcome outcome;
    const std::string languageParam = apiLanguageParam(languages);
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->root || languageParam.empty()) return outcome;
        if (impl_->now() < impl_->blockedUntil) {
            outcome.message = impl_->state.message;
            return outcome;
        }
    }
    if (outcome.message = impl_->ensureLogin(cancel); !outcome.message.empty()) return outcome;

    const std::string hash = paddedHash(video.hash);
    const std::string key =
        hash + "|" + std::to_string(video.size) + "|" + video.fileName + "|" + languageParam;
    std::vector<Candidate> candidates;
    if (!impl_->cachedSearch(key, candidates)) {
        if (!hash.empty()) {
            outcome.message =
                impl_->search(hashSearchQuery(hash, languageParam), candidates, cancel);
            if (!outcome.message.empty()) return outcome;
        }
        if (pickBest(candidates, languages).empty()) {
            const TitleGuess guess = guessTitle(video.fileName);
            if (!guess.title.empty()) {
                outcome.message =
                    impl_->search(titleSearchQuery(guess, languageParam), candidates, cancel);
                if (!outcome.message.empty()) return outcome;
            }
        }
        impl_->remember(key, candidates);
    }

    const int selfPort = impl_->options.selfPort ? impl_->options.selfPort() : 0;
    for (const auto& [language, candidate] : pickBest(candidates, languages)) {
        LinkAnswer answer;
        if (auto message = impl_->download(candidate.fileId, answer, cancel); !message.empty()) {
            outcome.message = message;
            break;
        }
        std::string error;
        const auto link = parseHttpUrl(answer.link, error);
        ApiUrl root;
        {
            std::lock_guard lock(impl_->mutex);
            root = impl_->sessionRoot;
        }
        if (!link || !acceptableLink(*link, root, selfPort, error)) {
            logLine("download link for file " + std::to_string(candidate.fileId) +
                    " refused: " + error);
            outcome.message = "The subtitle database gave a link Lirra will not follow.";
            std::lock_guard lock(impl_->mutex);
            impl_->state.message = outcome.message;
            continue;
        }
        outcome.links.push_back({language, answer.link,
                                 subFileName(video.fileName, language, answer.fileName),
                                 candidate.fileId});
    }
    return outcome;
}

FetchOutcome OnlineClient::fetch(const std::string& link, const std::atomic<bool>* cancel) {
    net::ExchangeRequest request;
    ApiUrl root;
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->root) return {{}, "the online source is off"};
        root = impl_->sessionRoot;
        request.caFile = impl_->config.caFile;
    }
    // Only the API gets the key; the file's host gets nothing but who is asking.
    request.headers = {{"User-Agent", impl_->options.userAgent}};
    request.maxAnswerBytes = impl_->options.maxFileBytes;
    request.deadline = impl_->options.exchangeDeadline;
    const int selfPort = impl_->options.selfPort ? impl_->options.selfPort() : 0;
    return fetchLink(link, root, selfPort, request, cancel);
}

}  // namespace lirra::server::online
