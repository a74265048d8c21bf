// SPDX-License-Identifier: GPL-3.0-or-later
// The store in SQLite under the data directory: one database file, a connection per request
// thread, each write one transaction.
#pragma once

#include <memory>
#include <string>

#include "store/AlignmentFitter.h"
#include "store/Sqlite.h"
#include "store/Store.h"

namespace lirra::server {

class SqliteStore final : public Store {
  public:
    // Creates the directory and the database when missing, migrates older schemas, refuses
    // newer ones, and fits the held tracks that have no fit kept. `fitter`, which must outlive
    // the store, times every video's tracks as they are held; without one none are (a store for
    // the notebook alone, say). Returns null with the reason in `error`.
    static std::unique_ptr<SqliteStore> open(const std::string& dataDirectory, std::string& error,
                                             const AlignmentFitter* fitter = nullptr);

    StoreStatus recordLookup(const VideoKey& key, const std::string& nativeLanguage,
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
    StoreStatus recentVideos(int limit, std::vector<VideoInfo>& videos,
                             std::string& error) override;
    // In SqliteVideoFiles.cpp.
    StoreStatus videoFile(std::int64_t videoId, VideoFile& file, std::string& error) override;
    StoreStatus rememberVideoFile(std::int64_t videoId, const VideoFile& file,
                                  std::string& error) override;
    StoreStatus holdContainerTracks(std::int64_t videoId,
                                    const std::vector<SubtitleContent>& tracks,
                                    std::string& error) override;
    // In SqliteOnlineFiles.cpp.
    StoreStatus offerOnlineFiles(std::int64_t videoId, const std::vector<OnlineFile>& files,
                                 std::vector<std::int64_t>& ids, std::string& error) override;
    StoreStatus holdOnlineTracks(std::int64_t videoId, const std::vector<SubtitleContent>& tracks,
                                 std::string& error) override;
    // In SqliteNotebook.cpp.
    StoreStatus saveNotebookItem(const NotebookEntry& entry, std::int64_t& id, bool& created,
                                 std::string& error) override;
    StoreStatus notebookItems(const NotebookQuery& query, std::vector<NotebookItem>& items,
                              std::string& error) override;
    StoreStatus notebookItem(std::int64_t id, NotebookItem& item, std::string& error) override;
    StoreStatus deleteNotebookItem(std::int64_t id, std::string& error) override;
    StoreStatus markNotebookItemSent(std::int64_t id, std::int64_t noteId,
                                     std::string& error) override;
    // In SqliteWords.cpp.
    StoreStatus wordStatuses(const std::vector<std::string>& words,
                             std::vector<std::string>& statuses, std::string& error) override;
    StoreStatus setWordStatus(const std::string& word, const std::string& form,
                              const std::string& status, std::string& error) override;
    StoreStatus importWords(const std::vector<std::string>& words, const std::string& status,
                            std::int64_t& changed, std::string& error) override;
    StoreStatus markedWords(const std::string& status, std::vector<std::string>& words,
                            WordCounts& counts, std::string& error) override;
    StoreStatus ready(std::string& error) override;

  private:
    SqliteStore(std::string path, const AlignmentFitter* fitter)
        : pool_(std::move(path)), fitter_(fitter) {}

    sqlite::ConnectionPool pool_;
    const AlignmentFitter* fitter_;
};

}  // namespace lirra::server
