// Media for the notebook's tests, made and decoded back with FFmpeg in a temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../media/MediaFiles.h"

namespace lirra::server::test {

// A 6-second 320x240 video whose brightness rises with time (luma about 40 per second, with
// noise so that the file is large enough to have a hash) and a 440 Hz tone; empty on failure.
struct RampVideo {
    std::string path;
    std::string hash;  // as the app sends it
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
};
RampVideo makeRampVideo(const MediaFolder& folder, const std::string& name);

// The luma a frame of the ramp video at `ms` shows once in a full-range JPEG.
double rampLuma(std::int64_t ms);

// A JPEG decoded to 8-bit gray pixels; empty when FFmpeg cannot decode it.
std::vector<std::uint8_t> decodeGray(const MediaFolder& folder, const std::string& jpeg);
// A sound decoded to 8 kHz mono 16-bit samples; empty when FFmpeg cannot decode it.
std::vector<std::int16_t> decodeMono8k(const MediaFolder& folder, const std::string& sound);

}  // namespace lirra::server::test
