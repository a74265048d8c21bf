// SPDX-License-Identifier: GPL-3.0-or-later
#include "notebook/NotebookVideo.h"

#include <cstdlib>

#include "sources/VideoHash.h"

namespace lirra::server::notebook {

std::optional<LibraryFile> openItemVideo(Store& store, const std::vector<std::string>& folders,
                                         std::int64_t videoId, std::string& why) {
    VideoInfo info;
    std::string error;
    if (store.video(videoId, info, error) != StoreStatus::Ok) {
        why = "the service no longer knows the video";
        return std::nullopt;
    }
    VideoFile known;
    if (info.hash == "0" || store.videoFile(videoId, known, error) != StoreStatus::Ok) {
        why =
            "the video's file was not found in a library folder (a video played from a web "
            "address has none)";
        return std::nullopt;
    }
    const VideoQuery query{info.size, std::strtoull(info.hash.c_str(), nullptr, 16), info.fileName};
    if (auto file = reopenVideo(folders, known.path, known.mtimeNs, query)) return file;
    // Found before, in a folder this run of the service may not know yet: only the video itself
    // is taken (its size and hash), wherever the path now leads.
    if (auto file = openInLibrary({"/"}, known.path); file && file->size == query.size) {
        const auto hash = videoHashOfFile(file->file.get(), file->size);
        if (hash && *hash == query.hash) return file;
    }
    why = "the video's file is gone or has changed since it was found";
    return std::nullopt;
}

}  // namespace lirra::server::notebook
