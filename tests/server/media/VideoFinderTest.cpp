// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a looked-up video in library folders by size and hash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "MediaFiles.h"
#include "sources/VideoFinder.h"

namespace lirra::server {
namespace {

namespace fs = std::filesystem;

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937_64 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

VideoQuery query(const std::string& bytes, const std::string& name) {
    return {bytes.size(), std::stoull(test::hashOf(bytes), nullptr, 16), name};
}

// The service's hash of a file is what the client's gives: every case below finds by it.
TEST(VideoFinder, BySizeAndHashOnlyInsideTheLibraryAndTrustedUntilChanged) {
    test::MediaFolder media;
    fs::create_directories(media.file("lib/season 1/extras"));
    fs::create_directories(media.file("outside"));
    const std::vector<std::string> library = {fs::canonical(media.file("lib")).string()};
    const std::string a = randomBytes(200000, 1), b = randomBytes(200000, 2);  // the same size
    const std::string c = randomBytes(300000, 3), d = randomBytes(250000, 4);
    media.write("lib/a.mkv", a);
    media.write("lib/b.mkv", b);
    media.write("lib/season 1/extras/c.mkv", c);
    media.write("outside/d.mkv", d);
    // A loop, a link out of the library and a link to a file inside it.
    fs::create_directory_symlink("..", media.file("lib/season 1/up"));
    fs::create_directory_symlink(media.file("outside"), media.file("lib/out"));
    fs::create_symlink(media.file("outside/d.mkv"), media.file("lib/d.mkv"));
    fs::create_symlink(media.file("lib/season 1/extras/c.mkv"), media.file("lib/c-link.mkv"));
    const std::tuple<const char*, VideoQuery, const char*> cases[] = {
        {"by its name", query(a, "a.mkv"), "a.mkv"},
        {"renamed since", query(a, "renamed.mkv"), "a.mkv"},
        {"the same size, another video under the name", query(b, "a.mkv"), "b.mkv"},
        {"in a sub-folder, through the loop and a file link", query(c, "c.mkv"),
         "season 1/extras/c.mkv"},
        {"a link out of the library", query(d, "d.mkv"), ""},
        {"a name that is a path", query(a, "../lib/a.mkv"), "a.mkv"},
        {"no such hash", {a.size(), 12345, "a.mkv"}, ""},
        {"too small to have a hash", {100, 100, "a.mkv"}, ""},
    };
    for (const auto& [what, q, expected] : cases) {
        const auto file = findVideo(library, q);
        EXPECT_EQ(file ? fs::relative(file->path, library[0]).string() : "", expected) << what;
    }

    fs::remove(media.file("lib/c-link.mkv"));
    EXPECT_FALSE(findVideo(library, query(c, "c.mkv"), {.maxDepth = 1})) << "found below the depth";
    std::atomic<bool> stop{true};
    EXPECT_FALSE(findVideo(library, query(b, "x.mkv"), {}, &stop));
    EXPECT_FALSE(openInLibrary(library, media.file("outside/d.mkv")));
    EXPECT_FALSE(openInLibrary(library, media.file("lib/season 1")));

    // A remembered file is trusted until it changes.
    auto first = findVideo(library, query(a, "a.mkv"));
    ASSERT_TRUE(first);
    const std::string path = first->path;
    const std::int64_t mtime = first->mtimeNs;
    first.reset();
    EXPECT_TRUE(reopenVideo(library, path, mtime, query(a, "a.mkv")));

    // Other bytes of the same size under the same time stamp: trusted without reading.
    media.write("lib/a.mkv", b);
    const timespec times[2] = {{0, UTIME_OMIT},
                               {static_cast<time_t>(mtime / 1000000000), mtime % 1000000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_TRUE(reopenVideo(library, path, mtime, query(a, "a.mkv")));
    // A new time stamp: hashed again, and it is another video now.
    EXPECT_FALSE(reopenVideo(library, path, mtime - 1, query(a, "a.mkv")));
    EXPECT_TRUE(reopenVideo(library, path, mtime - 1, query(b, "a.mkv")));
    fs::remove(path);
    EXPECT_FALSE(reopenVideo(library, path, mtime, query(a, "a.mkv")));
}

// A path checked, then a folder on it swapped for a symlink (out of the library or within it):
// opening it again leads nowhere, and neither does a symlink at its end or a path not canonical.
TEST(VideoFinder, OpensFollowNoSymlinkPutOnACheckedPath) {
    test::MediaFolder media;
    fs::create_directories(media.file("lib/sub"));
    fs::create_directories(media.file("outside/sub"));
    media.write("lib/sub/x.srt", "inside");
    media.write("outside/sub/x.srt", "outside");
    const std::string checked = fs::canonical(media.file("lib/sub/x.srt")).string();
    const auto read = [](const std::string& path) {
        const FileHandle file = openWithoutSymlinks(path);
        char bytes[16] = {};
        return file ? std::string(bytes, std::max<ssize_t>(0, ::read(file.get(), bytes, 16))) : "";
    };
    EXPECT_EQ(read(checked), "inside");
    fs::rename(media.file("lib/sub"), media.file("lib/old"));
    const std::string root = fs::canonical(media.file(".")).string();
    for (const auto& [target, path] : std::vector<std::pair<std::string, std::string>>{
             {root + "/outside/sub", checked},
             {root + "/lib/old", checked},
             {root + "/lib/old/x.srt", root + "/lib/link.srt"},
             {"", root + "/lib/old/../old/x.srt"},
             {"", "lib/old/x.srt"}}) {
        fs::remove(media.file("lib/sub"));
        if (!target.empty())
            fs::create_symlink(target, path == checked ? media.file("lib/sub") : path);
        EXPECT_EQ(read(path), "") << path << " -> " << target;
    }
    EXPECT_EQ(read(root + "/lib/old/x.srt"), "inside");
}

}  // namespace
}  // namespace lirra::server
