// Media made once per test run by ffmpeg in a temporary folder.
#pragma once

#include <QString>

namespace lirra::test {

struct TestMedia {
    QString dir;
    // 1280x720 H.264, 3 s: red upper half, blue lower half; audio "English", "French", one
    // with a language only and one with nothing; one subtitle stream. The name starts with a
    // dash and has a space.
    QString clipName;
    QString clip;
    QString audioOnly;  // 1.5 s of sound, no picture
    QString missing;    // no such file
};

// Generates on first use; an empty dir means ffmpeg failed (the reason is on stderr).
const TestMedia& testMedia();

}  // namespace lirra::test
