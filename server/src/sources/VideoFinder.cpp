// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/VideoFinder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <set>
#include <utility>

#include "sources/VideoHash.h"

namespace lirra::server {
namespace {

std::optional<std::string> canonicalPath(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(realpath(path.c_str(), nullptr), std::free);
    if (!resolved) return std::nullopt;
    return std::string(resolved.get());
}

bool inside(const std::vector<std::string>& folders, const std::string& canonical) {
    for (const auto& folder : folders) {
        const std::string prefix = folder == "/" ? folder : folder + "/";
        if (canonical.size() > prefix.size() && canonical.compare(0, prefix.size(), prefix) == 0) {
            return true;
        }
    }
    return false;
}

std::int64_t mtimeNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

std::string join(const std::string& folder, const std::string& name) {
    return (folder == "/" ? "" : folder) + "/" + name;
}

bool isVideo(const LibraryFile& file, const VideoQuery& query) {
    if (file.size != query.size) return false;
    const auto hash = videoHashOfFile(file.file.get(), file.size);
    return hash && *hash == query.hash;
}

}  // namespace

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileHandle openWithoutSymlinks(const std::string& canonical) {
    if (canonical.size() < 2 || canonical.front() != '/') return {};
    FileHandle at(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t start = 1; at;) {
        const auto slash = canonical.find('/', start);
        const std::string name = canonical.substr(start, slash - start);
        if (name.empty() || name == "." || name == "..") return {};
        if (slash == std::string::npos) {
            return FileHandle(
                ::openat(at.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        }
        at = FileHandle(
            ::openat(at.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        start = slash + 1;
    }
    return {};
}

std::optional<LibraryFile> openInLibrary(const std::vector<std::string>& folders,
                                         const std::string& path) {
    const auto canonical = canonicalPath(path);
    if (!canonical || !inside(folders, *canonical)) return std::nullopt;
    FileHandle file = openWithoutSymlinks(*canonical);
    struct stat st {};
    if (!file || fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return LibraryFile{std::move(file), *canonical, static_cast<std::uint64_t>(st.st_size),
                       mtimeNs(st)};
}

std::optional<LibraryFile> reopenVideo(const std::vector<std::string>& folders,
                                       const std::string& path, std::int64_t rememberedMtimeNs,
                                       const VideoQuery& query) {
    auto file = openInLibrary(folders, path);
    if (!file || file->size != query.size) return std::nullopt;
    if (file->mtimeNs == rememberedMtimeNs || isVideo(*file, query)) return file;
    return std::nullopt;
}

std::optional<LibraryFile> findVideo(const std::vector<std::string>& folders,
                                     const VideoQuery& query, const FinderLimits& limits,
                                     const std::atomic<bool>* stop) {
    if (query.size < kVideoHashBlock) return std::nullopt;
    const bool plainName = !query.fileName.empty() && query.fileName != "." &&
                           query.fileName != ".." && query.fileName.find('/') == std::string::npos;
    std::set<std::string> tried;
    auto attempt = [&](const std::string& path) -> std::optional<LibraryFile> {
        auto file = openInLibrary(folders, path);
        if (!file || !tried.insert(file->path).second || !isVideo(*file, query)) {
            return std::nullopt;
        }
        return file;
    };
    // The looked-up name at the top of each folder: one open per folder, the common case.
    if (plainName) {
        for (const auto& folder : folders) {
            if (auto file = attempt(join(folder, query.fileName))) return file;
        }
    }
    // Then every folder below, breadth first; same-size files under the looked-up name first.
    std::vector<std::string> named, others;
    std::set<std::pair<dev_t, ino_t>> visited;
    std::deque<std::pair<std::string, int>> pending;
    for (const auto& folder : folders) pending.emplace_back(folder, 0);
    std::size_t entries = 0;
    while (!pending.empty() && entries < limits.maxEntries) {
        if (stop && stop->load()) return std::nullopt;
        auto [dirPath, depth] = std::move(pending.front());
        pending.pop_front();
        struct stat dirStat {};
        if (lstat(dirPath.c_str(), &dirStat) != 0 || !S_ISDIR(dirStat.st_mode) ||
            !visited.emplace(dirStat.st_dev, dirStat.st_ino).second) {
            continue;
        }
        std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(dirPath.c_str()), closedir);
        if (!dir) continue;
        while (const dirent* entry = readdir(dir.get())) {
            if (++entries > limits.maxEntries) break;
            const std::string name(entry->d_name);
            if (name == "." || name == "..") continue;
            const std::string full = join(dirPath, name);
            struct stat st {};
            if (lstat(full.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                if (depth + 1 <= limits.maxDepth) pending.emplace_back(full, depth + 1);
                continue;
            }
            // A symlink counts by what it leads to; openInLibrary checks where that is.
            if (S_ISLNK(st.st_mode) && (stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode))) {
                continue;
            }
            if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) != query.size) {
                continue;
            }
            (plainName && name == query.fileName ? named : others).push_back(full);
        }
    }
    named.insert(named.end(), others.begin(), others.end());
    std::size_t hashed = 0;
    for (const auto& path : named) {
        if (stop && stop->load()) return std::nullopt;
        if (hashed++ >= limits.maxCandidates) break;
        if (auto file = attempt(path)) return file;
    }
    return std::nullopt;
}

}  // namespace lirra::server
