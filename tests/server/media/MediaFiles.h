// Media for the tests, made with the ffmpeg command line in a temporary folder that goes away
// with the fixture; nothing is committed.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

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

    // Runs ffmpeg with these arguments (after -y -v error), in this folder; true on success.
    bool ffmpeg(const std::vector<std::string>& arguments) const;
    // The same with the arguments in one text, separated by spaces.
    bool ffmpeg(const std::string& arguments) const;

    // An MKV of `seconds` with English SubRip, Spanish ASS (title "Full") and an untagged
    // WebVTT track, each with a cue at 0.5 s and one at 2 s.
    std::string makeThreeTrackMkv(const std::string& name, int seconds = 4) const;

    // A VobSub pair NAME.idx + NAME.sub (English) with one bitmap subtitle at 1 s, written out
    // byte by byte, since no tool here draws one; ffmpeg reads it and copies it into a container.
    void writeVobSub(const std::string& name) const;

  private:
    std::string path_;
};

// The client's hash of a whole file's bytes, written out independently of the service's.
std::uint64_t referenceHash(const std::string& bytes);
// The same of a file, reading only its first and last 64 KiB.
std::uint64_t referenceHashOfFile(const std::string& path);
// A hash as the app sends it: lower-case hex without leading zeros.
std::string hex(std::uint64_t hash);

// What `read` gives once `done` holds of it, asked again every 50 ms for up to a minute (work
// the service does in the background); the last answer when time runs out.
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
