// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the text tracks of one container as the service does and prints, as one JSON line, the
// time it took, the bytes read, the file's size and each track's size. bench/media/run drives it.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "sources/ContainerReader.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CONTAINER\n", argv[0]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    const auto began = std::chrono::steady_clock::now();
    const auto scan = lirra::server::readContainerTracks(fd);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    ::close(fd);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "{\"seconds\": %.3f, \"bytesRead\": %llu, \"fileSize\": %llu, \"complete\": %s, "
        "\"maxRssKiB\": %ld, \"tracks\": [",
        seconds, static_cast<unsigned long long>(scan.bytesRead),
        static_cast<unsigned long long>(scan.fileSize), scan.complete ? "true" : "false",
        usage.ru_maxrss);
    for (std::size_t n = 0; n < scan.tracks.size(); ++n) {
        const auto& t = scan.tracks[n];
        std::printf("%s{\"codec\": \"%s\", \"events\": %zu, \"bytes\": %zu}", n ? ", " : "",
                    t.codec.c_str(), t.events, t.text.size());
    }
    std::printf("]}\n");
    for (const auto& note : scan.notes) std::fprintf(stderr, "%s\n", note.c_str());
    return scan.complete ? 0 : 1;
}
