// SPDX-License-Identifier: GPL-3.0-or-later
// Library folders: where subtitle files lying beside videos are found. Files are matched by name
// to a video, read only through the canonical paths found here, and never through a symlink that
// leads out of a library folder.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lirra::server {

struct LibraryMatch {
    std::string path;      // canonical, inside a library folder
    std::string fileName;  // as it lies in the folder
    std::string language;  // guessed from the name, "" when unknown
};

class Library {
  public:
    static constexpr std::size_t kMaxFolders = 256;
    static constexpr std::size_t kMaxEntriesPerFolder = 20000;

    explicit Library(std::size_t maxFileBytes) : maxFileBytes_(maxFileBytes) {}

    // Empty on success (also when the folder is already known), else why it was refused.
    std::string addFolder(const std::string& path);
    std::vector<std::string> folders() const;

    // Subtitle files for a video: "My Film.mkv" matches "My Film.srt", "My Film.en.srt",
    // "My Film.eng.forced.vtt", "My Film.sub"... Files too large or not text are left out.
    std::vector<LibraryMatch> findSubtitles(std::string_view videoFileName) const;

    // The bytes of a file found by findSubtitles, if it still lies inside a library folder.
    std::optional<std::string> readFile(const std::string& path, std::string& error) const;

    // "My Film.mkv" -> "My Film"; the part a subtitle file's name must start with.
    static std::string videoStem(std::string_view videoFileName);
    // True if `subtitleName` belongs to a video whose stem is `stem`.
    static bool matchesStem(std::string_view stem, std::string_view subtitleName);

  private:
    bool insideFolder(const std::string& canonical) const;
    bool usable(const std::string& canonical, std::uint64_t size, std::int64_t mtimeNs) const;

    std::size_t maxFileBytes_;
    mutable std::shared_mutex foldersMutex_;
    std::vector<std::string> folders_;

    // Whether a file decodes as text, remembered until its size or time stamp changes.
    struct Checked {
        std::uint64_t size;
        std::int64_t mtimeNs;
        bool usable;
    };
    mutable std::mutex checkedMutex_;
    mutable std::map<std::string, Checked> checked_;
};

}  // namespace lirra::server
