// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SqliteBackup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace lirra::server {
namespace {

// A step holds the source's read lock: 64 pages of 4 KiB is well under a millisecond.
constexpr int kPagesPerStep = 64;
constexpr int kBusyMilliseconds = 5000;
// A source that changes under every pass restarts the copy; past this many passes the rest
// goes in one step, which in WAL mode holds a snapshot and blocks no writer.
constexpr int kPassesBeforeOneStep = 8;

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, Closer>;

Database openDatabase(const std::string& path, int flags, std::string& error) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    Database owned(db);
    if (rc != SQLITE_OK) {
        error = "cannot open " + path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyMilliseconds);
    return owned;
}

bool copyPages(sqlite3* from, sqlite3* to, std::string& error) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) {
        error = std::string("cannot begin the copy: ") + sqlite3_errmsg(to);
        return false;
    }
    int rc = SQLITE_OK, passes = 1, lastRemaining = -1;
    while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        rc = sqlite3_backup_step(backup, passes > kPassesBeforeOneStep ? -1 : kPagesPerStep);
        const int remaining = sqlite3_backup_remaining(backup);
        if (lastRemaining >= 0 && remaining > lastRemaining) ++passes;
        lastRemaining = remaining;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(10);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE || sqlite3_errcode(to) != SQLITE_OK) {
        error = std::string("the copy failed: ") + sqlite3_errstr(rc);
        return false;
    }
    return true;
}

// The copy as one self-contained file (the source's WAL mode would have it make two more when
// opened), checked whole before it takes its name.
bool settle(sqlite3* db, std::string& error) {
    if (sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = std::string("cannot settle the copy: ") + sqlite3_errmsg(db);
        return false;
    }
    sqlite3_stmt* st = nullptr;
    bool ok = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &st, nullptr) == SQLITE_OK &&
              sqlite3_step(st) == SQLITE_ROW &&
              std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok") == 0;
    sqlite3_finalize(st);
    if (!ok) error = "the copy does not check whole";
    return ok;
}

bool syncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    const bool ok = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
    return ok;
}

std::string folderOf(const std::string& file) {
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

}  // namespace

bool backupSqliteStore(const std::string& dataDirectory, const std::string& file,
                       std::string& error) {
    struct stat st {};
    if (lstat(file.c_str(), &st) == 0) {
        error = file + " exists; a backup never replaces a file";
        return false;
    }
    const std::string source = dataDirectory + "/" + kSqliteFileName;
    if (stat(source.c_str(), &st) != 0) {
        error = "no store at " + source;
        return false;
    }
    // Read-write so that a WAL database whose service is not running can still be read; the
    // copy only reads.
    Database from = openDatabase(source, SQLITE_OPEN_READWRITE, error);
    if (!from) return false;

    std::string temporary = file + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = "cannot write beside " + file + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    bool ok = false;
    {
        Database to = openDatabase(temporary, SQLITE_OPEN_READWRITE, error);
        ok = to && copyPages(from.get(), to.get(), error) && settle(to.get(), error);
    }
    // link() rather than rename(): a file that appeared meanwhile is not replaced either.
    if (ok && (!syncPath(temporary, O_RDONLY) || link(temporary.c_str(), file.c_str()) != 0)) {
        error = "cannot write " + file + ": " + std::strerror(errno);
        ok = false;
    }
    unlink(temporary.c_str());
    for (const char* journal : {"-journal", "-wal", "-shm"}) unlink((temporary + journal).c_str());
    if (ok) syncPath(folderOf(file), O_RDONLY | O_DIRECTORY);
    return ok;
}

}  // namespace lirra::server
