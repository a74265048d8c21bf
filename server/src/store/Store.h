// SPDX-License-Identifier: GPL-3.0-or-later
// The service's store: videos, the library files offered for them, and the subtitles it holds.
// Routes see only this interface; SqliteStore is the first implementation. Every write is all of
// it or none of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/NotebookRecords.h"

namespace lirra::server {

struct VideoKey {
    std::string hash;  // lower-case hex, no leading zeros; "0" when no hash could be computed
    std::uint64_t size = 0;
    std::string fileName;  // identifies the video when the hash is "0"
};

struct OfferedFile {
    std::string path;  // canonical path inside a library folder
    std::string fileName;
    std::string language;
};

struct SubtitleEntry {
    std::int64_t id = 0;
    std::string fileName;
    bool held = false;  // the service holds the file's bytes
};

struct VideoInfo {
    std::int64_t id = 0;
    std::string hash;
    std::uint64_t size = 0;
    std::string fileName;
    std::int64_t lastSeenMs = 0;
    int trackCount = 0;
};

// How a track's times map onto its video's reference track (the one the others are fitted to):
// reference time = time × scale + offsetMs. Computed when tracks arrive and kept.
struct TrackAlignment {
    std::int64_t referenceId = 0;
    double scale = 1.0;
    std::int64_t offsetMs = 0;
};

struct Track {
    std::int64_t id = 0;
    std::string fileName;
    std::string language;
    // "client" (uploaded after a lookup), "learner" (added from a page), "container" (read
    // out of the video file in a library folder) or "online" (from the online database)
    std::string origin;
    std::string format;
    std::string encoding;
    std::string cues;  // packed (subtitles/CuePack.h); the text is not read, nothing needs it
    // Whether the video's other tracks are fitted to this one.
    bool reference = false;
    // Empty for the reference, and when there is no reference or no credible fit.
    std::optional<TrackAlignment> alignment;
};

// A subtitle file that has been decoded and is ready to be held.
struct SubtitleContent {
    std::string fileName;
    std::string language;
    std::string format;
    std::string encoding;
    std::string original;
    std::string text;
    std::string cues;  // the text's cues, packed (subtitles/CuePack.h)
};

struct Upload {
    std::int64_t subtitleId = 0;
    SubtitleContent content;  // fileName and language are kept from the offer
};

struct DownloadSource {
    std::string fileName;
    std::optional<std::string> held;  // the bytes, when the service holds them
    std::string libraryPath;          // else where the offered file lies
};

// The file in a library folder that a looked-up video was found to be.
struct VideoFile {
    std::string path;  // canonical
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool scanned = false;  // its container has been read, whether or not it held any track
};

// A file the online subtitle database has for a video, offered to the client by name.
struct OnlineFile {
    std::string fileName;
    std::string language;
};

enum class StoreStatus { Ok, NotFound, Failed };

// A piece of background work as the store keeps it, so that any service on the database may do
// it and a service that dies leaves it to another: claimed by one owner at a time for a lease
// that the owner renews while it works, and claimable again once the lease has ended.
struct Job {
    std::int64_t id = 0;
    std::string kind;  // who does it: "container", "online"
    std::int64_t videoId = 0;
    std::string parameters;     // what the doer needs, as it wrote it
    std::int64_t attempts = 0;  // claims so far, this one counted
};

// A write that could not get in behind others within a second fails with a reason that starts
// so: the service answers 503 and to try again, not 500.
inline constexpr std::string_view kStoreBusy = "the store is busy";
inline bool isStoreBusy(std::string_view error) {
    return error.substr(0, kStoreBusy.size()) == kStoreBusy;
}

// How many words the learner has marked, by status (every other word is new).
struct WordCounts {
    std::int64_t known = 0;
    std::int64_t learning = 0;
};

// An account, or a learner without one: row 1 unnamed is the one learner of a service without
// accounts; an anonymous learner is a visitor's own space until they register.
struct Learner {
    std::int64_t id = 0;
    std::string name;          // empty when unnamed
    std::string passwordHash;  // empty when none can sign in as this learner
    bool admin = false;
    bool disabled = false;
    bool anonymous = false;
    std::int64_t createdAt = 0;   // milliseconds
    std::int64_t lastSeenMs = 0;  // a session of theirs last used, to the minute
};

// What the administrator's page shows of the service.
struct ServiceFigures {
    std::int64_t accounts = 0;   // named learners
    std::int64_t anonymous = 0;  // visitors' spaces
    std::int64_t sessions = 0;   // unexpired
    std::int64_t videos = 0;
    std::int64_t subtitles = 0;
};

// Every call that holds new tracks for a video also keeps their fits to the video's reference
// track (and every track's anew when the reference changes), in the same write; an
// AlignmentFitter makes them.
class Store {
  public:
    virtual ~Store() = default;

    // Upserts the video and the offers of these library files and counts it as seen now by the
    // learner; lists what the video has: every held subtitle and the unheld offers among `offers`.
    virtual StoreStatus recordLookup(std::int64_t learner, const VideoKey& key,
                                     const std::string& nativeLanguage,
                                     const std::vector<OfferedFile>& offers, std::int64_t& videoId,
                                     std::vector<SubtitleEntry>& entries, std::string& error) = 0;

    virtual StoreStatus downloadSource(std::int64_t subtitleId, DownloadSource& source,
                                       std::string& error) = 0;

    // Holds every upload or none. An id that was never listed gives NotFound with the id in
    // `error`; an id already held is left as it is.
    virtual StoreStatus storeUploads(const std::vector<Upload>& uploads, std::string& error) = 0;

    // NotFound when there is no such video.
    virtual StoreStatus addSubtitles(std::int64_t videoId,
                                     const std::vector<SubtitleContent>& files,
                                     std::vector<std::int64_t>& ids, std::string& error) = 0;

    virtual StoreStatus video(std::int64_t videoId, VideoInfo& info, std::string& error) = 0;
    // The held subtitles of a video, in the order they were added.
    virtual StoreStatus tracks(std::int64_t videoId, std::vector<Track>& tracks,
                               std::string& error) = 0;
    // The videos the learner looked up, most recently first, `lastSeenMs` theirs.
    virtual StoreStatus recentVideos(std::int64_t learner, int limit,
                                     std::vector<VideoInfo>& videos, std::string& error) = 0;

    // The file remembered for a video; NotFound when none is.
    virtual StoreStatus videoFile(std::int64_t videoId, VideoFile& file, std::string& error) = 0;
    // Remembers (or moves) the video's file; whether it was scanned is kept.
    virtual StoreStatus rememberVideoFile(std::int64_t videoId, const VideoFile& file,
                                          std::string& error) = 0;
    // Holds the tracks read out of the video's container (origin "container") and marks it
    // scanned, all of it or none of it. NotFound (and nothing held) when the video's file is not
    // known or its container was read before.
    virtual StoreStatus holdContainerTracks(std::int64_t videoId,
                                            const std::vector<SubtitleContent>& tracks,
                                            std::string& error) = 0;

    // Offers files from the online database (origin "online", held once uploaded; an earlier
    // unheld offer of the same language goes). Ids in order; NotFound for no such video.
    virtual StoreStatus offerOnlineFiles(std::int64_t videoId, const std::vector<OnlineFile>& files,
                                         std::vector<std::int64_t>& ids, std::string& error) = 0;
    // Holds files the service fetched from the online database (origin "online"), all of them
    // or none, leaving out any language the video has a held subtitle in by then.
    virtual StoreStatus holdOnlineTracks(std::int64_t videoId,
                                         const std::vector<SubtitleContent>& tracks,
                                         std::string& error) = 0;

    // The learner's notebook; another learner's item is NotFound, as if it did not exist. Saving
    // what is already there (same video, times, line and word) gives that item's id with `created`
    // false; NotFound when there is no such video.
    virtual StoreStatus saveNotebookItem(std::int64_t learner, const NotebookEntry& entry,
                                         std::int64_t& id, bool& created, std::string& error) = 0;
    virtual StoreStatus notebookItems(std::int64_t learner, const NotebookQuery& query,
                                      std::vector<NotebookItem>& items, std::string& error) = 0;
    // NotFound when there is no such item (also after it was deleted).
    virtual StoreStatus notebookItem(std::int64_t learner, std::int64_t id, NotebookItem& item,
                                     std::string& error) = 0;
    virtual StoreStatus deleteNotebookItem(std::int64_t learner, std::int64_t id,
                                           std::string& error) = 0;
    // Marks the item sent as the Anki note `noteId`; an item sent before keeps its first mark.
    virtual StoreStatus markNotebookItemSent(std::int64_t learner, std::int64_t id,
                                             std::int64_t noteId, std::string& error) = 0;

    // The learner's word statuses ("new", "learning", "known"), kept by dictionary form; a written
    // word counts as the form it was last given, else as itself. Words arrive lower-case. In
    // SqliteWords.cpp. `statuses[i]` answers `words[i]`.
    virtual StoreStatus wordStatuses(std::int64_t learner, const std::vector<std::string>& words,
                                     std::vector<std::string>& statuses, std::string& error) = 0;
    // Sets the status of `form` ("new" forgets it) and, when `word` differs, makes `word`
    // count as `form` from now on.
    virtual StoreStatus setWordStatus(std::int64_t learner, const std::string& word,
                                      const std::string& form, const std::string& status,
                                      std::string& error) = 0;
    // Gives every word the status in one write; `changed` counts those that had another.
    virtual StoreStatus importWords(std::int64_t learner, const std::vector<std::string>& words,
                                    const std::string& status, std::int64_t& changed,
                                    std::string& error) = 0;
    // The words with `status`, in alphabetical order, and the counts of all.
    virtual StoreStatus markedWords(std::int64_t learner, const std::string& status,
                                    std::vector<std::string>& words, WordCounts& counts,
                                    std::string& error) = 0;

    // Removes the learner and everything that is theirs (words, imports, notebook, the videos
    // they saw, not the videos; their sessions), in one write; NotFound when there is no such
    // learner.
    virtual StoreStatus deleteLearner(std::int64_t learner, std::string& error) = 0;

    // Whether the store answers now and holds the schema this build migrates to: Ok, or Failed
    // with the reason (a proxy's readiness check, --check-config).
    virtual StoreStatus ready(std::string& error) = 0;

    // Background work (StoreJobs.h). Times are milliseconds. A job is open from its enqueue
    // until it is finished or fails for good; a video has at most one open job of a kind.
    // Queues a job unless one of its kind is open for the video or `capacity` of its kind wait
    // unclaimed; `queued` says whether it was.
    virtual StoreStatus enqueueJob(const std::string& kind, std::int64_t videoId,
                                   const std::string& parameters, std::int64_t capacity,
                                   bool& queued, std::string& error) = 0;
    // Gives `owner` the oldest job of `kind` that waits or whose lease has ended, leased for
    // `leaseMs`; NotFound when there is none. Each job goes to one claimer at a time.
    virtual StoreStatus claimJob(const std::string& kind, const std::string& owner,
                                 std::int64_t leaseMs, Job& job, std::string& error) = 0;
    // NotFound (and nothing changed) unless `owner` holds the job: renews its lease, marks it
    // done, or, when it failed, lets it wait `retryMs` for another try, or keeps it as failed
    // once it was claimed `maxAttempts` times.
    virtual StoreStatus renewJob(std::int64_t id, const std::string& owner, std::int64_t leaseMs,
                                 std::string& error) = 0;
    virtual StoreStatus finishJob(std::int64_t id, const std::string& owner,
                                  std::string& error) = 0;
    virtual StoreStatus failJob(std::int64_t id, const std::string& owner, std::int64_t maxAttempts,
                                std::int64_t retryMs, std::string& error) = 0;
    // Whether a job of `kind` is open for the video.
    virtual StoreStatus jobOpen(const std::string& kind, std::int64_t videoId, bool& open,
                                std::string& error) = 0;
    // The open jobs of `kind` that `owner` holds or could claim now or after a retry's wait.
    virtual StoreStatus jobsToDo(const std::string& kind, const std::string& owner,
                                 std::int64_t& count, std::string& error) = 0;
    // Accounts and sessions (StoreAccounts.h). Times are milliseconds.
    // A named learner; the first one takes over the unnamed learner 1 and so its data. `taken`
    // (and nothing written) when the name is someone's already.
    virtual StoreStatus createLearner(const std::string& name, const std::string& passwordHash,
                                      bool admin, std::int64_t& id, bool& taken,
                                      std::string& error) = 0;
    virtual StoreStatus createAnonymousLearner(std::int64_t& id, std::string& error) = 0;
    // Names an anonymous learner, keeping its id and so its data; NotFound unless it is
    // anonymous, `taken` when the name is someone's already.
    virtual StoreStatus nameLearner(std::int64_t id, const std::string& name,
                                    const std::string& passwordHash, bool& taken,
                                    std::string& error) = 0;
    virtual StoreStatus learnerByName(const std::string& name, Learner& learner,
                                      std::string& error) = 0;
    virtual StoreStatus learnerById(std::int64_t id, Learner& learner, std::string& error) = 0;
    // NotFound for no such learner.
    virtual StoreStatus setPasswordHash(std::int64_t id, const std::string& passwordHash,
                                        std::string& error) = 0;
    virtual StoreStatus setLearnerDisabled(std::int64_t id, bool disabled, std::string& error) = 0;
    // The named learners, by name.
    virtual StoreStatus namedLearners(std::vector<Learner>& learners, std::string& error) = 0;
    virtual StoreStatus serviceFigures(ServiceFigures& figures, std::string& error) = 0;
    virtual StoreStatus createSession(const std::string& tokenHash, std::int64_t learner,
                                      std::int64_t lifetimeMs, std::string& error) = 0;
    // The learner of an unexpired session of an account not disabled; NotFound otherwise. A
    // session last used `touchAfterMs` ago or more is extended to now + `lifetimeMs`.
    virtual StoreStatus useSession(const std::string& tokenHash, std::int64_t lifetimeMs,
                                   std::int64_t touchAfterMs, Learner& learner,
                                   std::string& error) = 0;
    virtual StoreStatus deleteSession(const std::string& tokenHash, std::string& error) = 0;
    virtual StoreStatus deleteSessions(std::int64_t learner, std::string& error) = 0;
    // Counts a failure against `key`, in a window of `windowMs` that starts at the first failure
    // after the last one ended; `failures` is the count in the window, this one included.
    virtual StoreStatus recordSigninFailure(const std::string& key, std::int64_t windowMs,
                                            std::int64_t& failures, std::string& error) = 0;
    virtual StoreStatus signinFailures(const std::string& key, std::int64_t windowMs,
                                       std::int64_t& failures, std::string& error) = 0;
    virtual StoreStatus clearSigninFailures(const std::string& key, std::string& error) = 0;
};

}  // namespace lirra::server
