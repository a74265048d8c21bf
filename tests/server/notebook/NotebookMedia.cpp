#include "NotebookMedia.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace lirra::server::test {

RampVideo makeRampVideo(const MediaFolder& folder, const std::string& name) {
    const bool ok =
        folder.ffmpeg({"-f", "lavfi", "-i",
                       "color=c=black:size=320x240:rate=25:duration=6,format=yuv420p,"
                       "geq=lum='clip(16+40*T+8*random(1),0,255)':cb=128:cr=128",
                       "-f", "lavfi", "-i", "sine=frequency=440:duration=6", "-c:v", "mpeg4",
                       "-q:v", "2", "-g", "25", "-c:a", "aac", "-shortest", name});
    struct stat st {};
    if (!ok || ::stat(folder.file(name).c_str(), &st) != 0) return {};
    return {folder.file(name), hex(referenceHashOfFile(folder.file(name))),
            static_cast<std::uint64_t>(st.st_size),
            st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

double rampLuma(std::int64_t ms) {
    // Limited-range luma 16 + 40 t (+4 of noise on average) stretched to full range.
    return (40.0 * static_cast<double>(ms) / 1000.0 + 4.0) * 255.0 / 219.0;
}

std::vector<std::uint8_t> decodeGray(const MediaFolder& folder, const std::string& jpeg) {
    folder.write("decode-in.jpg", jpeg);
    if (!folder.ffmpeg(
            {"-i", "decode-in.jpg", "-f", "rawvideo", "-pix_fmt", "gray", "decode-out.gray"})) {
        return {};
    }
    const std::string raw = folder.read("decode-out.gray");
    return {raw.begin(), raw.end()};
}

std::vector<std::int16_t> decodeMono8k(const MediaFolder& folder, const std::string& sound) {
    folder.write("decode-in.mp3", sound);
    if (!folder.ffmpeg(
            {"-i", "decode-in.mp3", "-f", "s16le", "-ac", "1", "-ar", "8000", "decode-out.raw"})) {
        return {};
    }
    const std::string raw = folder.read("decode-out.raw");
    std::vector<std::int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

}  // namespace lirra::server::test
