// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/ContainerSource.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <stdexcept>

#include "subtitles/CuePack.h"
#include "subtitles/Language.h"
#include "subtitles/SubtitleParser.h"
#include "subtitles/Text.h"
#include "subtitles/TextDecoder.h"

namespace lirra::server {
namespace {

constexpr std::size_t kMaxTitleBytes = 64;

void log(std::int64_t videoId, const std::string& what) {
    std::fprintf(stderr, "lirra-server: video %lld: %s\n", static_cast<long long>(videoId),
                 what.c_str());
}

// Cut at `max` bytes without splitting a UTF-8 sequence.
std::string cutUtf8(std::string text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

}  // namespace

std::string containerTrackLanguage(const std::string& tag) {
    if (tag.size() > 32 || !isValidUtf8(tag)) return {};
    if (auto code = languageCodeForTag(tag); !code.empty()) return code;
    // Codes the table doesn't name are kept when they have the shape of one.
    const std::string lower = asciiLower(tag);
    if (lower.size() != 3 || lower == "und" || lower == "mul" || lower == "zxx" || lower == "mis") {
        return {};
    }
    for (char c : lower) {
        if (c < 'a' || c > 'z') return {};
    }
    return lower;
}

std::string containerTrackFileName(const std::string& videoFileName, const std::string& language,
                                   const std::string& title, const std::string& extension) {
    std::string name = Library::videoStem(videoFileName);
    if (name.empty()) name = "video";
    if (!language.empty()) name += "." + language;
    if (isValidUtf8(title)) {
        std::string clean = cutUtf8(displayFileName(title), kMaxTitleBytes);
        while (!clean.empty() && (clean.back() == ' ' || clean.back() == '.')) clean.pop_back();
        if (!clean.empty()) name += "." + clean;
    }
    return name + "." + extension;
}

ContainerSource::ContainerSource(Store& store, const Library& library,
                                 ContainerSourceOptions options)
    : store_(store),
      library_(library),
      options_(options),
      queue_(store, "container", [this](const Job& job, const auto& stop) { work(job, stop); },
             {options.queueCapacity, options.workers}) {}

bool ContainerSource::pending(std::int64_t videoId) const { return queue_.busy(videoId); }

void ContainerSource::lookedUp(std::int64_t videoId, const VideoKey& key) {
    // Without a hash (or a file too small to have one) there is nothing to find the file by.
    if (key.hash == "0" || key.size < kVideoHashBlock || library_.folders().empty()) return;
    VideoFile known;
    std::string error;
    const auto status = store_.videoFile(videoId, known, error);
    if (status == StoreStatus::Failed) {
        log(videoId, error);
        return;
    }
    if (status == StoreStatus::Ok && known.scanned) return;
    {
        std::lock_guard lock(missesMutex_);
        const auto it = misses_.find(videoId);
        if (it != misses_.end()) {
            if (std::chrono::steady_clock::now() - it->second < options_.retryNotFound) return;
            misses_.erase(it);
        }
    }
    const bool queued = queue_.push(videoId, videoKeyJson(key).dump());
    if (!queued && !queue_.busy(videoId)) {
        log(videoId, "the queue of videos to read is full; it is read after a later lookup");
    }
}

void ContainerSource::work(const Job& job, const std::atomic<bool>& stop) {
    const std::int64_t videoId = job.videoId;
    const auto key = videoKeyFromJson(nlohmann::json::parse(job.parameters, nullptr, false));
    if (!key) throw std::invalid_argument("not a video's key: " + job.parameters.substr(0, 80));
    const VideoQuery query{key->size, std::strtoull(key->hash.c_str(), nullptr, 16), key->fileName};
    const auto folders = library_.folders();
    VideoFile known;
    std::string error;
    std::optional<LibraryFile> file;
    if (store_.videoFile(videoId, known, error) == StoreStatus::Ok) {
        if (known.scanned) return;
        file = reopenVideo(folders, known.path, known.mtimeNs, query);
    }
    if (!file) file = findVideo(folders, query, options_.finder, &stop);
    if (!file) {
        if (stop) return;
        std::lock_guard lock(missesMutex_);
        misses_[videoId] = std::chrono::steady_clock::now();
        return;
    }
    if (store_.rememberVideoFile(videoId, {file->path, file->size, file->mtimeNs, false}, error) !=
        StoreStatus::Ok) {
        log(videoId, error);
        return;
    }
    hold(videoId, *key, *file, stop);
}

void ContainerSource::hold(std::int64_t videoId, const VideoKey& key, const LibraryFile& file,
                           const std::atomic<bool>& stop) {
    const auto began = std::chrono::steady_clock::now();
    ContainerScan scan = readContainerTracks(file.file.get(), options_.container, &stop);
    if (stop) return;  // the service stops: read again after the next start
    for (const auto& note : scan.notes) log(videoId, file.path + ": " + note);
    struct stat after {};
    if (fstat(file.file.get(), &after) != 0 ||
        static_cast<std::uint64_t>(after.st_size) != file.size ||
        after.st_mtim.tv_sec != file.mtimeNs / 1000000000) {
        log(videoId, file.path + ": the file changed while it was read; what was read is held");
    }
    std::vector<SubtitleContent> contents;
    std::set<std::string> names;
    for (auto& track : scan.tracks) {
        auto decoded = decodeToUtf8(track.text);
        const auto parsed = decoded.error.empty() ? parseSubtitle(decoded.text) : ParsedSubtitle{};
        if (parsed.cues.empty()) {
            log(videoId, "track " + std::to_string(track.streamIndex) + " (" + track.codec +
                             ") has no readable line: " + decoded.error);
            continue;
        }
        SubtitleContent content;
        content.language = containerTrackLanguage(track.languageTag);
        content.fileName =
            containerTrackFileName(key.fileName, content.language, track.title, track.extension);
        if (!names.insert(content.fileName).second) {
            content.fileName = containerTrackFileName(
                key.fileName, content.language,
                track.title + " track " + std::to_string(track.streamIndex), track.extension);
        }
        content.format = formatName(parsed.format);
        content.encoding = decoded.encoding;
        content.original = std::move(track.text);
        content.text = std::move(decoded.text);
        content.cues = packCues(parsed.cues);
        contents.push_back(std::move(content));
    }
    std::string error;
    const auto status = store_.holdContainerTracks(videoId, contents, error);
    if (status == StoreStatus::Failed) {
        log(videoId, error);
        return;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    char summary[160];
    std::snprintf(summary, sizeof summary,
                  "%zu text tracks held; %llu of %llu bytes read in %.1f s",
                  status == StoreStatus::Ok ? contents.size() : 0,
                  static_cast<unsigned long long>(scan.bytesRead),
                  static_cast<unsigned long long>(scan.fileSize), seconds);
    log(videoId, file.path + ": " + summary);
}

}  // namespace lirra::server
