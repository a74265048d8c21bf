// SPDX-License-Identifier: GPL-3.0-or-later
// Media for the tests, made with the ffmpeg command line in a temporary folder that goes away
// with it; nothing is committed.
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "hash/ReferenceHash.h"

namespace lirra::server::test {

class MediaFolder {
  public:
    MediaFolder();
    ~MediaFolder();
    MediaFolder(const MediaFolder&) = delete;
    MediaFolder& operator=(const MediaFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;

    // Runs ffmpeg with these arguments (after -y -v error) in this folder; true on success.
    bool ffmpeg(const std::vector<std::string>& arguments) const;
    bool ffmpeg(const std::string& spaceSeparatedArguments) const;

    // An MKV of `seconds` with English SubRip, Spanish ASS (title "Full") and an untagged
    // WebVTT track, each with a cue at 0.5 s and one at 2 s.
    std::string makeThreeTrackMkv(const std::string& name, int seconds = 4) const;

  private:
    std::string path_;
};

// The client's hash of a file's bytes (hash/ReferenceHash.h, apart from the service's), as the
// app sends it.
inline std::string hashOf(const std::string& bytes) {
    return lirra::test::referenceHashText(bytes);
}

// What `read` gives once `done` holds of it, asked every 50 ms for up to a minute (work the
// service does in the background); the last answer when time runs out.
template <class Read, class Done>
auto eventually(Read read, Done done) {
    auto value = read();
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done(value) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        value = read();
    }
    return value;
}

}  // namespace lirra::server::test
