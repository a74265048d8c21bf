#include "subtitles/WebVtt.h"

#include "subtitles/SubRip.h"

namespace lirra::server::subtitles {
namespace {

bool isMetadataBlock(std::string_view firstLine) {
    return firstLine.substr(0, 4) == "NOTE" || firstLine.substr(0, 5) == "STYLE" ||
           firstLine.substr(0, 6) == "REGION";
}

}  // namespace

bool isWebVttHeader(std::string_view line) {
    return line.substr(0, 6) == "WEBVTT" && (line.size() == 6 || line[6] == ' ' || line[6] == '\t');
}

std::vector<Cue> parseWebVtt(const std::vector<std::string_view>& lines, std::size_t from) {
    return parseTimedBlocks(lines, from, {.webVttText = true, .isSkippedBlock = isMetadataBlock});
}

}  // namespace lirra::server::subtitles
