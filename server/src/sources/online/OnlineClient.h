// SPDX-License-Identifier: GPL-3.0-or-later
// The client of the online subtitle database's REST API (version 1): finds the best file per
// language for a video by its hash (by the title guessed from its name when the hash is unknown
// there) and asks for each file's temporary download link. It keeps the database's manners:
// nothing at all without a key; after a refused key or a used-up quota no call until the key
// changes or the quota renews; Retry-After honoured; searches cached per video for a day; each
// exchange bounded as a whole. Thread-safe; calls block the calling thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AnswerReader.h"
#include "ApiUrl.h"
#include "LinkFetch.h"
#include "net/Exchange.h"

namespace lirra::server::online {

enum class OnlineStatus { Off, Ok, BadKey, Quota, Offline };

// "off", "ok", "bad-key", "quota", "offline".
const char* statusName(OnlineStatus status);

struct OnlineConfig {
    std::string apiKey;  // empty: the client is off and never touches the network
    std::string user;    // with the password: log in for the larger quota
    std::string password;
    std::string apiUrl = kDefaultApiUrl;  // the root "/subtitles", "/download", "/login" go under
    std::string caFile;                   // trusted certificates; empty: the system's
};

struct ClientOptions {
    std::string userAgent;  // "Lirra vVERSION"
    std::chrono::milliseconds exchangeDeadline{8000};
    std::chrono::hours cacheFor{24};
    std::size_t maxCachedVideos = 512;
    std::size_t maxSearchAnswerBytes = 4 * 1024 * 1024;
    std::size_t maxSmallAnswerBytes = 64 * 1024;  // login and download answers
    std::size_t maxFileBytes = 8 * 1024 * 1024;
    std::chrono::seconds offlinePause{60};  // no call for this long after a failed one
    std::function<int()> selfPort;          // this service's port, so links to it are refused
    std::function<std::chrono::system_clock::time_point()> now;  // tests move time
};

struct VideoRef {
    std::string hash;  // hexadecimal, leading zeros optional; "0" or empty: no hash
    std::uint64_t size = 0;
    std::string fileName;
};

struct FoundLink {
    std::string language;     // ISO 639-2/B
    std::string link;         // checked: http(s), not this service
    std::string subFileName;  // "Film.eng.srt"
    std::int64_t fileId = 0;
};

struct FindOutcome {
    std::vector<FoundLink> links;
    std::string message;  // one sentence for the learner when something went wrong
};

struct OnlineState {
    OnlineStatus status = OnlineStatus::Off;
    std::optional<std::int64_t> remaining;  // downloads left today, once the database said
    std::string message;                    // why the status is not ok
};

class OnlineClient {
  public:
    explicit OnlineClient(ClientOptions options);
    ~OnlineClient();

    // Takes a new configuration; a changed key, user, password or address lifts a block and
    // empties the caches. Returns why the address is unusable (the client is then off).
    std::string configure(OnlineConfig config);
    OnlineState state() const;

    // Links to the best file of each of `languages` (ISO 639-2/B) the database has for the
    // video. Returns at once when off or blocked.
    FindOutcome find(const VideoRef& video, const std::vector<std::string>& languages,
                     const std::atomic<bool>* cancel = nullptr);

    // The bytes behind a link `find` gave (at most maxFileBytes; redirects checked like links).
    FetchOutcome fetch(const std::string& link, const std::atomic<bool>* cancel = nullptr);

  private:
    FindOutcome findLinks(const VideoRef& video, const std::vector<std::string>& languages,
                          const std::atomic<bool>* cancel);

    struct Call;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lirra::server::online
