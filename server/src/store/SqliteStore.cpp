// SPDX-License-Identifier: GPL-3.0-or-later
// The store on SQLite: its file under the data directory, the dialect's own calls, and the
// store's parts compiled for it.
#include "store/SqliteStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "store/SqliteMigrations.h"
#include "store/StoreAccounts.h"
#include "store/StoreJobs.h"
#include "store/StoreLearnerData.h"
#include "store/StoreNotebook.h"
#include "store/StoreOnlineFiles.h"
#include "store/StoreVideoFiles.h"
#include "store/StoreVideos.h"
#include "store/StoreWords.h"

namespace lirra::server {

template class DatabaseStore<SqliteDialect>;

bool SqliteDialect::migrate(Connection& db, std::string& error) { return migrateSchema(db, error); }

int SqliteDialect::schemaVersion() { return latestSchemaVersion(); }

std::int64_t SqliteDialect::totalChanges(Connection& db) {
    return sqlite3_total_changes(db.handle());
}

namespace {

bool makeDirectories(const std::string& path, std::string& error) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create the data directory " + partial;
            return false;
        }
    }
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "the data directory " + path + " is not a directory";
        return false;
    }
    // The learner's notebook and keys: for the learner alone, whatever the umask or an older
    // version left.
    if ((st.st_mode & 0777) != 0700 && chmod(path.c_str(), 0700) != 0) {
        error = "cannot make the data directory " + path + " private";
        return false;
    }
    return true;
}

// SQLite creates its files with 0644 less the umask, and its journal files as the database file;
// a database file made private first keeps all of them so.
bool makeDatabasePrivate(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    const bool ok = fd >= 0 && fchmod(fd, 0600) == 0;
    if (fd >= 0) close(fd);
    for (const char* journal : {"-wal", "-shm"}) chmod((path + journal).c_str(), 0600);
    if (!ok) error = "cannot make the database " + path + " private";
    return ok;
}

}  // namespace

std::unique_ptr<Store> SqliteStore::open(const std::string& dataDirectory, std::string& error,
                                         const AlignmentFitter* fitter) {
    if (dataDirectory.empty()) {
        error = "no data directory";
        return nullptr;
    }
    const std::string databasePath = dataDirectory + "/lirra.sqlite3";
    if (!makeDirectories(dataDirectory, error) || !makeDatabasePrivate(databasePath, error))
        return nullptr;
    auto store = std::make_unique<DatabaseStore<SqliteDialect>>(fitter, databasePath);
    if (!store->prepare(error)) return nullptr;
    return store;
}

}  // namespace lirra::server
