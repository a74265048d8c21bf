// SPDX-License-Identifier: GPL-3.0-or-later
// The store over a SQL database, one body for SQLite and PostgreSQL: the drivers' calls are the
// same, so the store is a template over a dialect that names the driver's types and the few
// places where the two engines' SQL or calls differ. A connection per request thread, each
// write one transaction. Each dialect's store is compiled in a file of its own (SqliteStore.cpp,
// PostgresStore.cpp) from the parts' definitions (Store*.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "store/AlignmentFitter.h"
#include "store/Sqlite.h"
#include "store/Store.h"
#include "store/postgres/Postgres.h"

namespace lirra::server {

struct SqliteDialect {
    using Connection = sqlite::Connection;
    using Statement = sqlite::Statement;
    using Transaction = sqlite::Transaction;
    using Pool = sqlite::ConnectionPool;
    // A JSON array of texts as the rows of w (key: its place, value: the text).
    static constexpr const char* kJsonTexts = "json_each(?1) w";
    // SQLite's LIKE is blind to ASCII case already.
    static constexpr const char* kCaseBlindLike = "LIKE";
    // A claim runs in a write transaction, which SQLite takes alone: nothing more to lock.
    static constexpr const char* kClaimLock = "";
    static Pool::Lease acquire(Pool& pool, std::string& error) { return pool.acquire(error); }
    static bool migrate(Connection& db, std::string& error);
    // The schema version a database holds, and this build's.
    static constexpr const char* kSchemaVersionSql = "PRAGMA user_version";
    static int schemaVersion();
    // The rows the connection's statements have changed since it opened.
    static std::int64_t totalChanges(Connection& db);
    // Between two transactions of a long series (store/Sqlite.h).
    static void yieldToWaitingWriters() { sqlite::yieldToWaitingWriters(); }
};

struct PostgresDialect {
    using Connection = pg::Connection;
    using Statement = pg::Statement;
    using Transaction = pg::Transaction;
    using Pool = pg::ConnectionPool;
    static constexpr const char* kJsonTexts =
        "json_array_elements_text(CAST(?1 AS json)) WITH ORDINALITY AS w(value, key)";
    static constexpr const char* kCaseBlindLike = "ILIKE";
    // Concurrent claimers each lock another waiting job instead of all taking the first.
    static constexpr const char* kClaimLock = " FOR UPDATE SKIP LOCKED";
    // A pool that has no connection to give, or cannot reach the server, is busy for a while
    // (a restart), not broken: the answer says so.
    static Pool::Lease acquire(Pool& pool, std::string& error) {
        bool busy = false;
        auto lease = pool.acquire(error, busy);
        if (!lease && busy) error = std::string(kStoreBusy) + ": " + error;
        return lease;
    }
    static bool migrate(Connection& db, std::string& error);
    static constexpr const char* kSchemaVersionSql =
        "SELECT coalesce(max(version), 0) FROM lirra_schema";
    static int schemaVersion();
    static std::int64_t totalChanges(Connection& db) { return db.totalChanges(); }
    // Rows are locked, not the database: a series of writes keeps no other writer waiting.
    static void yieldToWaitingWriters() {}
};

template <class D>
class DatabaseStore final : public Store {
  public:
    // `fitter`, which must outlive the store, times every video's tracks as they are held;
    // without one none are (a store for the notebook alone, say). `pool` opens the connections.
    template <class... PoolArguments>
    explicit DatabaseStore(const AlignmentFitter* fitter, PoolArguments&&... pool)
        : pool_(std::forward<PoolArguments>(pool)...), fitter_(fitter) {}

    // Migrates older schemas, refuses newer ones, settles the word imports a crash left, reads
    // the cues of tracks held before cues were kept and fits the held tracks that have no fit.
    // False with the reason in `error`.
    bool prepare(std::string& error);

    StoreStatus recordLookup(std::int64_t learner, const VideoKey& key,
                             const std::string& nativeLanguage,
                             const std::vector<OfferedFile>& offers, std::int64_t& videoId,
                             std::vector<SubtitleEntry>& entries, std::string& error) override;
    StoreStatus downloadSource(std::int64_t subtitleId, DownloadSource& source,
                               std::string& error) override;
    StoreStatus storeUploads(const std::vector<Upload>& uploads, std::string& error) override;
    StoreStatus addSubtitles(std::int64_t videoId, const std::vector<SubtitleContent>& files,
                             std::vector<std::int64_t>& ids, std::string& error) override;
    StoreStatus video(std::int64_t videoId, VideoInfo& info, std::string& error) override;
    StoreStatus tracks(std::int64_t videoId, std::vector<Track>& tracks,
                       std::string& error) override;
    StoreStatus recentVideos(std::int64_t learner, int limit, std::vector<VideoInfo>& videos,
                             std::string& error) override;
    // In StoreVideoFiles.h.
    StoreStatus videoFile(std::int64_t videoId, VideoFile& file, std::string& error) override;
    StoreStatus rememberVideoFile(std::int64_t videoId, const VideoFile& file,
                                  std::string& error) override;
    StoreStatus holdContainerTracks(std::int64_t videoId,
                                    const std::vector<SubtitleContent>& tracks,
                                    std::string& error) override;
    // In StoreOnlineFiles.h.
    StoreStatus offerOnlineFiles(std::int64_t videoId, const std::vector<OnlineFile>& files,
                                 std::vector<std::int64_t>& ids, std::string& error) override;
    StoreStatus holdOnlineTracks(std::int64_t videoId, const std::vector<SubtitleContent>& tracks,
                                 std::string& error) override;
    // In StoreNotebook.h.
    StoreStatus saveNotebookItem(std::int64_t learner, const NotebookEntry& entry, std::int64_t& id,
                                 bool& created, std::string& error) override;
    StoreStatus notebookItems(std::int64_t learner, const NotebookQuery& query,
                              std::vector<NotebookItem>& items, std::string& error) override;
    StoreStatus notebookItem(std::int64_t learner, std::int64_t id, NotebookItem& item,
                             std::string& error) override;
    StoreStatus deleteNotebookItem(std::int64_t learner, std::int64_t id,
                                   std::string& error) override;
    StoreStatus markNotebookItemSent(std::int64_t learner, std::int64_t id, std::int64_t noteId,
                                     std::string& error) override;
    // In StoreWords.h.
    StoreStatus wordStatuses(std::int64_t learner, const std::vector<std::string>& words,
                             std::vector<std::string>& statuses, std::string& error) override;
    StoreStatus setWordStatus(std::int64_t learner, const std::string& word,
                              const std::string& form, const std::string& status,
                              std::string& error) override;
    StoreStatus importWords(std::int64_t learner, const std::vector<std::string>& words,
                            const std::string& status, std::int64_t& changed,
                            std::string& error) override;
    StoreStatus markedWords(std::int64_t learner, const std::string& status,
                            std::vector<std::string>& words, WordCounts& counts,
                            std::string& error) override;
    // In StoreLearnerData.h.
    StoreStatus deleteLearner(std::int64_t learner, std::string& error) override;
    // In StoreVideos.h.
    StoreStatus ready(std::string& error) override;
    // In StoreJobs.h.
    StoreStatus enqueueJob(const std::string& kind, std::int64_t videoId,
                           const std::string& parameters, std::int64_t capacity, bool& queued,
                           std::string& error) override;
    StoreStatus claimJob(const std::string& kind, const std::string& owner, std::int64_t leaseMs,
                         Job& job, std::string& error) override;
    StoreStatus renewJob(std::int64_t id, const std::string& owner, std::int64_t leaseMs,
                         std::string& error) override;
    StoreStatus finishJob(std::int64_t id, const std::string& owner, std::string& error) override;
    StoreStatus failJob(std::int64_t id, const std::string& owner, std::int64_t maxAttempts,
                        std::int64_t retryMs, std::string& error) override;
    StoreStatus jobOpen(const std::string& kind, std::int64_t videoId, bool& open,
                        std::string& error) override;
    StoreStatus jobsToDo(const std::string& kind, const std::string& owner, std::int64_t& count,
                         std::string& error) override;

    // In StoreAccounts.h.
    StoreStatus createLearner(const std::string& name, const std::string& passwordHash, bool admin,
                              std::int64_t& id, bool& taken, std::string& error) override;
    StoreStatus createAnonymousLearner(std::int64_t& id, std::string& error) override;
    StoreStatus nameLearner(std::int64_t id, const std::string& name,
                            const std::string& passwordHash, bool& taken,
                            std::string& error) override;
    StoreStatus learnerByName(const std::string& name, Learner& learner,
                              std::string& error) override;
    StoreStatus learnerById(std::int64_t id, Learner& learner, std::string& error) override;
    StoreStatus setPasswordHash(std::int64_t id, const std::string& passwordHash,
                                std::string& error) override;
    StoreStatus setLearnerDisabled(std::int64_t id, bool disabled, std::string& error) override;
    StoreStatus namedLearners(std::vector<Learner>& learners, std::string& error) override;
    StoreStatus serviceFigures(ServiceFigures& figures, std::string& error) override;
    StoreStatus createSession(const std::string& tokenHash, std::int64_t learner,
                              std::int64_t lifetimeMs, std::string& error) override;
    StoreStatus useSession(const std::string& tokenHash, std::int64_t lifetimeMs,
                           std::int64_t touchAfterMs, Learner& learner,
                           std::string& error) override;
    StoreStatus deleteSession(const std::string& tokenHash, std::string& error) override;
    StoreStatus deleteSessions(std::int64_t learner, std::string& error) override;
    StoreStatus recordSigninFailure(const std::string& key, std::int64_t windowMs,
                                    std::int64_t& failures, std::string& error) override;
    StoreStatus signinFailures(const std::string& key, std::int64_t windowMs,
                               std::int64_t& failures, std::string& error) override;
    StoreStatus clearSigninFailures(const std::string& key, std::string& error) override;

  private:
    using Connection = typename D::Connection;
    using Statement = typename D::Statement;
    using Transaction = typename D::Transaction;

    typename D::Pool::Lease acquire(std::string& error) { return D::acquire(pool_, error); }

    typename D::Pool pool_;
    const AlignmentFitter* fitter_;
};

}  // namespace lirra::server
