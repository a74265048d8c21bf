// SPDX-License-Identifier: GPL-3.0-or-later
// The online subtitle database as a source of the service: after a lookup, once the local
// sources (held tracks, files beside the video, tracks inside it) have answered, it asks the
// database for the learner's languages none of them has. Links that come within the lookup's
// wait are offered to the client, which fetches and uploads them as usual; later ones are
// fetched here and held with origin "online", the video pending meanwhile. Off, and silent on
// the network, until the learner gives a key.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "OnlineClient.h"
#include "Secrets.h"
#include "sources/SourceQueue.h"
#include "sources/SubtitleSource.h"
#include "store/Store.h"

namespace lirra::server::online {

struct OnlineSourceOptions {
    ClientOptions client;
    std::string dataDirectory;  // where the learner's secrets are kept
    std::string keyFile;        // a file holding the key; a key saved from the page wins
    std::string apiUrl;         // empty: the public API
    std::string caFile;         // trusted certificates; empty: the system's
    std::chrono::milliseconds lookupWait{1500};   // from the lookup's start
    std::chrono::milliseconds localWait{120000};  // for the local sources, at most
    std::size_t queueCapacity = 64;
    std::size_t workers = 2;
    // Decodes and parses a fetched file for holding; an empty text when `content` is ready.
    std::function<std::string(const std::string& fileName, std::string bytes,
                              SubtitleContent& content)>
        prepare;
};

// A file offered in the lookup's answer: the client fetches `link` and uploads it as
// `subtitleId`.
struct OnlineOffer {
    std::int64_t subtitleId = 0;
    std::string fileName;
    std::string link;
};

class OnlineSource final : public SubtitleSource {
  public:
    OnlineSource(Store& store, std::vector<const SubtitleSource*> localSources,
                 OnlineSourceOptions options);
    ~OnlineSource() override;

    // Reads the key file and the saved secrets. An unreadable key file or an unusable address
    // is an error (the service should not start with a setting it ignores).
    std::string start();

    // The lookup calls ask() instead, with what it knows of the learner.
    void lookedUp(std::int64_t, const VideoKey&) override {}
    bool pending(std::int64_t videoId) const override;

    // Called by the lookup after the local sources were told. `wanted` are the learner's
    // languages (ISO 639-2/B), `offered` the languages of the files beside the video. Waits
    // until `lookupStart` + lookupWait at most.
    std::vector<OnlineOffer> ask(std::int64_t videoId, const VideoKey& key,
                                 const std::vector<std::string>& wanted,
                                 const std::vector<std::string>& offered,
                                 std::chrono::steady_clock::time_point lookupStart);

    // {"configured", "user", "status", "remaining", "message"}; never a secret.
    nlohmann::json settings() const;
    // Takes {"key"?, "user"?, "password"?} from the page: a field left out keeps its value, an
    // empty key removes the saved one, an empty user removes the user and the password.
    // Nothing changes when it is refused: 400 for the body, 500 when it could not be saved.
    struct Refusal {
        int status = 400;
        std::string reason;
    };
    std::optional<Refusal> applySettings(const nlohmann::json& body);

    void waitIdle() const { queue_->waitIdle(); }

  private:
    struct Ask;
    void work(const Job& job, const std::atomic<bool>& stop);
    std::vector<std::string> missingLanguages(std::int64_t videoId,
                                              const std::vector<std::string>& wanted,
                                              const std::vector<std::string>& offered);
    void holdLate(std::int64_t videoId, const std::vector<FoundLink>& links,
                  const std::atomic<bool>& stop);
    void configureClient();  // with settingsMutex_ held

    Store& store_;
    std::vector<const SubtitleSource*> localSources_;
    OnlineSourceOptions options_;
    OnlineClient client_;
    mutable std::mutex settingsMutex_;
    Secrets saved_;        // from the page
    std::string fileKey_;  // from the key file
    std::mutex asksMutex_;
    std::map<std::int64_t, std::shared_ptr<Ask>> asks_;  // lookups waiting for their job
    std::unique_ptr<SourceQueue> queue_;  // last: its workers stop before anything they use goes
};

}  // namespace lirra::server::online
