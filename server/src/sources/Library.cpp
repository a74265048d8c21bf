// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Library.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "sources/VideoFinder.h"
#include "subtitles/Language.h"
#include "subtitles/Text.h"
#include "subtitles/TextDecoder.h"

namespace lirra::server {
namespace {

std::optional<std::string> canonicalPath(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(realpath(path.c_str(), nullptr), std::free);
    if (!resolved) return std::nullopt;
    return std::string(resolved.get());
}

bool isSubtitleExtension(std::string_view ext) {
    const std::string lower = asciiLower(ext);
    return lower == "srt" || lower == "vtt" || lower == "sub" || lower == "ass" || lower == "ssa";
}

std::int64_t mtimeNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

std::string Library::videoStem(std::string_view videoFileName) {
    const auto dot = videoFileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::string(videoFileName);
    return std::string(videoFileName.substr(0, dot));
}

bool Library::matchesStem(std::string_view stem, std::string_view name) {
    if (stem.empty() || name.size() <= stem.size() || name.substr(0, stem.size()) != stem) {
        return false;
    }
    const auto rest = name.substr(stem.size());  // ".srt" or ".en.srt" ...
    const auto lastDot = rest.rfind('.');
    if (rest.front() != '.' || lastDot == std::string_view::npos) return false;
    if (!isSubtitleExtension(rest.substr(lastDot + 1))) return false;
    return lastDot == 0 || lastDot <= 40;  // tags ("en", "eng.forced") stay short
}

std::string Library::addFolder(const std::string& path) {
    const auto canonical = canonicalPath(path);
    struct stat st {};
    if (!canonical || stat(canonical->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return "not a folder: " + path;
    }
    std::unique_lock lock(foldersMutex_);
    for (const auto& folder : folders_) {
        if (folder == *canonical) return {};
    }
    if (folders_.size() >= kMaxFolders) return "too many library folders";
    folders_.push_back(*canonical);
    return {};
}

std::vector<std::string> Library::folders() const {
    std::shared_lock lock(foldersMutex_);
    return folders_;
}

bool Library::insideFolder(const std::string& canonical) const {
    std::shared_lock lock(foldersMutex_);
    for (const auto& folder : folders_) {
        const std::string prefix = folder == "/" ? folder : folder + "/";
        if (canonical.size() > prefix.size() && canonical.compare(0, prefix.size(), prefix) == 0) {
            return true;
        }
    }
    return false;
}

bool Library::usable(const std::string& canonical, std::uint64_t size, std::int64_t mtime) const {
    {
        std::lock_guard lock(checkedMutex_);
        const auto it = checked_.find(canonical);
        if (it != checked_.end() && it->second.size == size && it->second.mtimeNs == mtime) {
            return it->second.usable;
        }
    }
    std::string error;
    const auto bytes = readFile(canonical, error);
    const bool ok = bytes && decodeToUtf8(*bytes).error.empty();
    std::lock_guard lock(checkedMutex_);
    checked_[canonical] = {size, mtime, ok};
    return ok;
}

std::vector<LibraryMatch> Library::findSubtitles(std::string_view videoFileName) const {
    std::vector<LibraryMatch> matches;
    const std::string stem = videoStem(videoFileName);
    // A name with a slash can't be a file in a folder; nothing is built from it as a path.
    if (stem.empty() || stem.find('/') != std::string::npos || stem == "." || stem == "..") {
        return matches;
    }
    for (const auto& folder : folders()) {
        std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
        if (!dir) continue;
        std::size_t seen = 0;
        while (const dirent* entry = readdir(dir.get())) {
            if (++seen > kMaxEntriesPerFolder) break;
            const std::string_view name(entry->d_name);
            if (!matchesStem(stem, name)) continue;
            const std::string full = (folder == "/" ? "" : folder) + "/" + std::string(name);
            const auto canonical = canonicalPath(full);
            if (!canonical || !insideFolder(*canonical)) continue;  // a symlink leading out
            struct stat st {};
            if (stat(canonical->c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
                static_cast<std::uint64_t>(st.st_size) > maxFileBytes_) {
                continue;
            }
            if (!usable(*canonical, static_cast<std::uint64_t>(st.st_size), mtimeNs(st))) continue;
            bool duplicate = false;
            for (const auto& m : matches) duplicate = duplicate || m.path == *canonical;
            if (duplicate) continue;
            if (!isValidUtf8(name)) continue;  // shown to the client as text
            matches.push_back({*canonical, std::string(name), guessLanguage(name)});
        }
    }
    return matches;
}

std::optional<std::string> Library::readFile(const std::string& path, std::string& error) const {
    // The path came from the store, but the folder may have changed since: check it again.
    const auto canonical = canonicalPath(path);
    if (!canonical || *canonical != path || !insideFolder(*canonical)) {
        error = "the file is no longer in a library folder";
        return std::nullopt;
    }
    // A folder on the path swapped for a symlink since the check leads nowhere.
    const FileHandle file = openWithoutSymlinks(path);
    if (!file) {
        error = "the file cannot be opened";
        return std::nullopt;
    }
    const int fd = file.get();
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > maxFileBytes_) {
        error = "the file is not a regular file of an acceptable size";
        return std::nullopt;
    }
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace lirra::server
