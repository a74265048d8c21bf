// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a looked-up video in the library folders: a regular file of exactly the looked-up
// size whose hash is the looked-up one, the file of the looked-up name first. Only files whose
// canonical path lies inside a library folder are ever opened; directory symlinks are not
// followed, so a loop or a link out of the library leads nowhere.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lirra::server {

// An open file descriptor, closed when this goes.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileHandle& operator=(FileHandle&& other) noexcept;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Opens `canonical` (an absolute path as realpath gives it) for reading one component at a time,
// following no symlink on the way: what is opened lies where the path says, even when a folder
// on it was swapped for a symlink after the path was checked. None otherwise.
FileHandle openWithoutSymlinks(const std::string& canonical);

struct LibraryFile {
    FileHandle file;
    std::string path;  // canonical
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
};

// Opens `path` for reading if it is a regular file whose canonical path lies inside one of the
// canonical `folders`; none otherwise.
std::optional<LibraryFile> openInLibrary(const std::vector<std::string>& folders,
                                         const std::string& path);

struct VideoQuery {
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    std::string fileName;  // as the client named it; tried first
};

struct FinderLimits {
    int maxDepth = 8;                 // folders below a library folder
    std::size_t maxEntries = 200000;  // directory entries looked at, all folders together
    std::size_t maxCandidates = 32;   // same-size files hashed
};

// The file, opened, or none. Stops early (with none) once `stop` reads true.
std::optional<LibraryFile> findVideo(const std::vector<std::string>& folders,
                                     const VideoQuery& query, const FinderLimits& limits = {},
                                     const std::atomic<bool>* stop = nullptr);

// A file found before, trusted again without hashing when its size and modification time are
// as remembered; otherwise hashed again. None when it is gone, moved out, or another video.
std::optional<LibraryFile> reopenVideo(const std::vector<std::string>& folders,
                                       const std::string& path, std::int64_t rememberedMtimeNs,
                                       const VideoQuery& query);

}  // namespace lirra::server
