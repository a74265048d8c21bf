// Media made once per test run by ffmpeg in a temporary folder, and a loopback HTTP server
// that serves the main clip with range requests.
#pragma once

#include <QString>

#include "support/LoopbackHttpServer.h"

namespace lirra::test {

struct TestMedia {
    QString dir;
    // 1280x720 H.264, 3 s: red upper half, blue lower half; audio "English" and "French";
    // one subtitle stream. The name starts with a dash and has a space.
    QString clipName;
    QString clip;
    QString audioOnly;  // 1.5 s of sound, no picture
    QString untitled;   // two audio tracks: one with a language only, one with nothing
    QString missing;    // no such file
    QString notVideo;   // a text file named .mkv
};

// Generates on first use; an empty dir means ffmpeg failed (the reason is on stderr).
const TestMedia& testMedia();

// Serves testMedia().clip at /clip.mkv on 127.0.0.1; other paths answer 404.
class ClipServer {
  public:
    ClipServer();
    QString url(const QString& path) const;
    int rangeRequests() const;

  private:
    LoopbackHttpServer server_;
};

}  // namespace lirra::test
