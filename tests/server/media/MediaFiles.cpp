// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaFiles.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "ServerFixture.h"

namespace lirra::server::test {

MediaFolder::MediaFolder() : path_(makeTempDir()) {}

MediaFolder::~MediaFolder() { removeTree(path_); }

void MediaFolder::write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
}

std::string MediaFolder::read(const std::string& name) const {
    std::ostringstream out;
    out << std::ifstream(file(name), std::ios::binary).rdbuf();
    return out.str();
}

bool MediaFolder::ffmpeg(const std::vector<std::string>& arguments) const {
    std::string command = "cd '" + path_ + "' && ffmpeg -nostdin -y -v error";
    for (const auto& a : arguments) {  // each quoted for the shell, its own quotes too
        command += " '";
        for (char c : a) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += "'";
    }
    return std::system(command.c_str()) == 0;
}

bool MediaFolder::ffmpeg(const std::string& spaceSeparatedArguments) const {
    std::istringstream words(spaceSeparatedArguments);
    return ffmpeg(std::vector<std::string>{std::istream_iterator<std::string>(words), {}});
}

std::string MediaFolder::makeThreeTrackMkv(const std::string& name, int seconds) const {
    write("in.en.srt",
          "1\n00:00:00,500 --> 00:00:01,500\nHello <i>there</i>\n\n"
          "2\n00:00:02,000 --> 00:00:03,000\nSecond line\n");
    write("in.es.ass",
          "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\n"
          "Format: Name, Fontname, Fontsize, Bold, Italic\nStyle: Default,Arial,20,0,0\n\n"
          "[Events]\n"
          "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
          "Dialogue: 0,0:00:00.50,0:00:01.50,Default,,0,0,0,,{\\i1}Hola{\\i0}, amigo\n"
          "Dialogue: 1,0:00:00.50,0:00:01.50,Default,,0,0,0,,{\\i1}Hola{\\i0}, amigo\n"
          "Dialogue: 0,0:00:02.00,0:00:03.00,Default,,0,0,0,,Segunda\\Nl\xC3\xADnea\n");
    write("in.vtt",
          "WEBVTT\n\n00:00:00.500 --> 00:00:01.500\nVTT one\n\n"
          "00:00:02.000 --> 00:00:03.000\nVTT two\n");
    const std::string d = std::to_string(seconds);
    const bool ok = ffmpeg("-f lavfi -i testsrc=size=64x48:rate=5:duration=" + d +
                           " -f lavfi -i sine=duration=" + d +
                           " -i in.en.srt -i in.es.ass -i in.vtt -map 0 -map 1 -map 2 -map 3 -map 4"
                           " -c:v libx264 -preset ultrafast -c:a pcm_s16le -c:s copy"
                           " -metadata:s:s:0 language=eng -metadata:s:s:1 language=spa"
                           " -metadata:s:s:1 title=Full -metadata:s:s:2 language=und " +
                           name);
    return ok ? file(name) : std::string();
}

}  // namespace lirra::server::test
