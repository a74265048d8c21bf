// SPDX-License-Identifier: GPL-3.0-or-later
#include "OnlineSource.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <set>
#include <stdexcept>
#include <thread>

namespace lirra::server::online {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kLocalPoll = std::chrono::milliseconds(50);

void logLine(const std::string& text) {
    std::fprintf(stderr, "lirra-server: online subtitles: %s\n", text.c_str());
}

}  // namespace

// Between a lookup that waits for links and the job that finds them: whoever comes second
// under the lock decides whether the links go to the client or are held here.
struct OnlineSource::Ask {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;        // the job has its answer
    bool lookupGone = false;  // the lookup stopped waiting
    std::vector<FoundLink> links;
};

OnlineSource::OnlineSource(Store& store, std::vector<const SubtitleSource*> localSources,
                           OnlineSourceOptions options)
    : store_(store),
      localSources_(std::move(localSources)),
      options_(std::move(options)),
      client_(options_.client),
      queue_(std::make_unique<SourceQueue>(
          store, "online", [this](const Job& job, const auto& stop) { work(job, stop); },
          SourceQueueOptions{options_.queueCapacity, options_.workers})) {}

OnlineSource::~OnlineSource() { queue_.reset(); }

std::string OnlineSource::start() {
    std::lock_guard lock(settingsMutex_);
    if (!options_.keyFile.empty()) {
        std::string error;
        const auto key = readKeyFile(options_.keyFile, error);
        if (!key) return "the subtitle database key: " + error;
        fileKey_ = *key;
    }
    if (!options_.dataDirectory.empty()) {
        std::string error;
        const auto saved = loadSecrets(options_.dataDirectory, error);
        // A damaged secrets file should not stop the service; the learner can save anew.
        if (saved) saved_ = *saved;
        if (!saved) logLine(error);
    }
    const std::string key = saved_.apiKey.empty() ? fileKey_ : saved_.apiKey;
    const std::string error =
        client_.configure({key, saved_.user, saved_.password, options_.apiUrl, options_.caFile});
    if (!error.empty()) return "the subtitle database's address: " + error;
    return {};
}

void OnlineSource::configureClient() {
    const std::string key = saved_.apiKey.empty() ? fileKey_ : saved_.apiKey;
    client_.configure({key, saved_.user, saved_.password, options_.apiUrl, options_.caFile});
}

bool OnlineSource::pending(std::int64_t videoId) const { return queue_->busy(videoId); }

std::vector<OnlineOffer> OnlineSource::ask(std::int64_t videoId, const VideoKey& key,
                                           const std::vector<std::string>& wanted,
                                           const std::vector<std::string>& offered,
                                           Clock::time_point lookupStart) {
    // Without a key nothing is queued, so nothing can reach the network.
    if (wanted.empty() || client_.state().status == OnlineStatus::Off) return {};
    auto shared = std::make_shared<Ask>();
    {
        // Held until the ask is known, so that a worker claiming the job at once finds it.
        std::lock_guard lock(asksMutex_);
        auto parameters = videoKeyJson(key);
        parameters["wanted"] = wanted;
        parameters["offered"] = offered;
        // Busy with this video already (here or in another service): that job holds what it
        // finds.
        if (!queue_->push(videoId, parameters.dump())) return {};
        asks_[videoId] = shared;
    }

    std::vector<FoundLink> links;
    {
        std::unique_lock lock(shared->mutex);
        shared->changed.wait_until(lock, lookupStart + options_.lookupWait,
                                   [&] { return shared->done; });
        if (!shared->done) {
            shared->lookupGone = true;
            lock.unlock();
            std::lock_guard asksLock(asksMutex_);
            if (auto it = asks_.find(videoId); it != asks_.end() && it->second == shared)
                asks_.erase(it);
            return {};
        }
        links = std::move(shared->links);
    }
    if (links.empty()) return {};
    std::vector<OnlineFile> files;
    for (const auto& link : links) files.push_back({link.subFileName, link.language});
    std::vector<std::int64_t> ids;
    std::string error;
    if (store_.offerOnlineFiles(videoId, files, ids, error) != StoreStatus::Ok ||
        ids.size() != links.size()) {
        logLine("the store could not offer the files found: " + error);
        return {};
    }
    std::vector<OnlineOffer> offers;
    for (std::size_t i = 0; i < links.size(); ++i) {
        offers.push_back({ids[i], links[i].subFileName, links[i].link});
    }
    return offers;
}

std::vector<std::string> OnlineSource::missingLanguages(std::int64_t videoId,
                                                        const std::vector<std::string>& wanted,
                                                        const std::vector<std::string>& offered) {
    std::set<std::string> have(offered.begin(), offered.end());
    std::vector<Track> tracks;
    std::string error;
    if (store_.tracks(videoId, tracks, error) != StoreStatus::Ok) {
        logLine("the store could not list the held tracks: " + error);
        return {};
    }
    for (const auto& track : tracks) have.insert(track.language);
    std::vector<std::string> missing;
    for (const auto& language : wanted) {
        if (!language.empty() && !have.count(language) &&
            std::find(missing.begin(), missing.end(), language) == missing.end()) {
            missing.push_back(language);
        }
    }
    return missing;
}

void OnlineSource::work(const Job& job, const std::atomic<bool>& stop) {
    const std::int64_t videoId = job.videoId;
    const auto parameters = nlohmann::json::parse(job.parameters, nullptr, false);
    const auto key = videoKeyFromJson(parameters);
    if (!key || !parameters["wanted"].is_array() || !parameters["offered"].is_array())
        throw std::invalid_argument("not an ask: " + job.parameters.substr(0, 80));
    std::vector<std::string> wanted, offered;
    for (const auto& language : parameters["wanted"])
        if (language.is_string()) wanted.push_back(language);
    for (const auto& language : parameters["offered"])
        if (language.is_string()) offered.push_back(language);
    // A job queued by another service, or before a restart, has no lookup waiting here.
    auto ask = std::make_shared<Ask>();
    ask->lookupGone = true;
    {
        std::lock_guard lock(asksMutex_);
        if (auto it = asks_.find(videoId); it != asks_.end()) {
            ask = it->second;
            asks_.erase(it);
        }
    }
    // The database is asked only for what the local sources turn out not to have.
    const auto giveUp = Clock::now() + options_.localWait;
    auto localBusy = [&] {
        return std::any_of(localSources_.begin(), localSources_.end(),
                           [&](const SubtitleSource* s) { return s->pending(videoId); });
    };
    while (!stop && localBusy() && Clock::now() < giveUp) std::this_thread::sleep_for(kLocalPoll);
    std::vector<FoundLink> links;
    const auto missing =
        stop ? std::vector<std::string>{} : missingLanguages(videoId, wanted, offered);
    if (!missing.empty()) {
        FindOutcome outcome = client_.find({key->hash, key->size, key->fileName}, missing, &stop);
        links = std::move(outcome.links);
    }
    {
        std::lock_guard lock(ask->mutex);
        if (!ask->lookupGone) {
            ask->links = std::move(links);
            ask->done = true;
            ask->changed.notify_all();
            return;
        }
    }
    holdLate(videoId, links, stop);
}

void OnlineSource::holdLate(std::int64_t videoId, const std::vector<FoundLink>& links,
                            const std::atomic<bool>& stop) {
    std::vector<SubtitleContent> contents;
    for (const auto& link : links) {
        if (stop) return;
        FetchOutcome fetched = client_.fetch(link.link, &stop);
        if (!fetched.error.empty()) {
            logLine("file " + std::to_string(link.fileId) + " not fetched: " + fetched.error);
            continue;
        }
        SubtitleContent content;
        const std::string refusal =
            options_.prepare ? options_.prepare(link.subFileName, std::move(fetched.bytes), content)
                             : "nothing reads subtitle files";
        if (!refusal.empty()) {
            logLine("file " + std::to_string(link.fileId) + " not held: " + refusal);
            continue;
        }
        content.language = link.language;
        contents.push_back(std::move(content));
    }
    if (contents.empty() || stop) return;
    std::string error;
    if (store_.holdOnlineTracks(videoId, contents, error) != StoreStatus::Ok) {
        logLine("the store could not hold the files found: " + error);
    }
}

nlohmann::json OnlineSource::settings() const {
    const OnlineState state = client_.state();
    std::lock_guard lock(settingsMutex_);
    const bool configured = !(saved_.apiKey.empty() && fileKey_.empty());
    nlohmann::json answer = {{"configured", configured},
                             {"user", saved_.user},
                             {"status", statusName(state.status)},
                             {"remaining", nullptr},
                             {"message", state.message}};
    if (state.remaining) answer["remaining"] = *state.remaining;
    return answer;
}

std::optional<OnlineSource::Refusal> OnlineSource::applySettings(const nlohmann::json& body) {
    if (!body.is_object()) return Refusal{400, R"(expected {"key"?, "user"?, "password"?})"};
    for (const auto& [name, value] : body.items()) {
        if (name != "key" && name != "user" && name != "password") {
            return Refusal{400, "unknown setting: " + name.substr(0, 40)};
        }
        if (!value.is_string() || !validSecret(value.get<std::string>(), name == "key")) {
            return Refusal{400, name + " must be text of at most 256 characters" +
                                    (name == "key" ? " without spaces" : "")};
        }
    }
    if (options_.dataDirectory.empty()) {
        return Refusal{500, "there is no data folder to keep the key in"};
    }
    std::lock_guard lock(settingsMutex_);
    Secrets next = saved_;
    if (body.contains("key")) next.apiKey = body["key"].get<std::string>();
    if (body.contains("user")) next.user = body["user"].get<std::string>();
    if (body.contains("password")) next.password = body["password"].get<std::string>();
    if (next.user.empty()) next.password.clear();
    if (const auto error = saveSecrets(options_.dataDirectory, next); !error.empty()) {
        logLine(error);
        return Refusal{500, "the settings could not be saved"};
    }
    saved_ = std::move(next);
    configureClient();
    return std::nullopt;
}

}  // namespace lirra::server::online
