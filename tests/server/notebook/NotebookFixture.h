// SPDX-License-Identifier: GPL-3.0-or-later
// A real service whose notebook sends to a fake AnkiConnect, the notebook page's requests, and
// media FFmpeg makes and decodes back in a temporary folder.
#pragma once

#include <cstring>

#include "FakeAnki.h"
#include "ServerFixture.h"
#include "media/MediaFiles.h"

namespace lirra::server::test {

class NotebookFixture : public ServerFixture {
  protected:
    using json = nlohmann::json;

    void configure(ServerOptions& options) override {
        options.ankiUrl = anki_.url();
        options.ankiKey = ankiKey_;
    }

    httplib::Result post(const std::string& path, const json& body) {
        return client().Post(path, body.dump(), "application/json");
    }
    // A line of a video saved; its id.
    std::int64_t save(std::int64_t video, int startMs, int endMs, const std::string& text,
                      json more = json::object()) {
        more.update({{"videoId", video}, {"startMs", startMs}, {"endMs", endMs}, {"text", text}});
        const auto res = post("/api/notebook", more);
        EXPECT_TRUE(res && (res->status == 201 || res->status == 200)) << text;
        return res ? json::parse(res->body).value("id", std::int64_t{0}) : 0;
    }
    json list(const std::string& query = "") {
        return answer(client().Get("/api/notebook" + query))["items"];
    }
    // The notebook page's "send to Anki": the report.
    json send(const std::vector<std::int64_t>& ids) {
        return answer(post("/api/notebook/anki", {{"ids", ids}}));
    }

    // A 6-second 320x240 video in the library folder whose brightness rises with time (luma
    // 16 + 40 per second, with noise so that the file is large enough to have a hash) and a
    // 440 Hz tone, looked up as the app does; its id, 0 when ffmpeg failed.
    std::int64_t rampInLibrary(const std::string& name) {
        const bool made =
            media_.ffmpeg({"-f", "lavfi", "-i",
                           "color=c=black:size=320x240:rate=25:duration=6,format=yuv420p,"
                           "geq=lum='clip(16+40*T+8*random(1),0,255)':cb=128:cr=128",
                           "-f", "lavfi", "-i", "sine=frequency=440:duration=6", "-c:v", "mpeg4",
                           "-q:v", "2", "-g", "25", "-c:a", "aac", "-shortest", "ramp.mkv"});
        const std::string bytes = made ? media_.read("ramp.mkv") : std::string();
        writeFile(libraryDir_ + "/" + name, bytes);
        return made ? lookupJson(name, hashOf(bytes), std::to_string(bytes.size()))["videoId"]
                          .get<std::int64_t>()
                    : 0;
    }
    // A JPEG as 8-bit gray pixels, a sound as 8 kHz mono 16-bit samples, as FFmpeg decodes them
    // from base64 (as AnkiConnect takes them).
    std::string decoded(const std::string& base64, const std::vector<std::string>& format) {
        std::vector<std::string> arguments = {"-i",
                                              "data:application/octet-stream;base64," + base64};
        arguments.insert(arguments.end(), format.begin(), format.end());
        arguments.push_back("decode-out");
        return media_.ffmpeg(arguments) ? media_.read("decode-out") : std::string();
    }
    std::size_t grayPixels(const std::string& jpeg, double* mean = nullptr) {
        const std::string raw = decoded(jpeg, {"-f", "rawvideo", "-pix_fmt", "gray"});
        double sum = 0;
        for (unsigned char p : raw) sum += p;
        if (mean) *mean = sum / std::max<std::size_t>(1, raw.size());
        return raw.size();
    }
    std::vector<std::int16_t> samples(const std::string& sound) {
        const std::string raw = decoded(sound, {"-f", "s16le", "-ac", "1", "-ar", "8000"});
        std::vector<std::int16_t> out(raw.size() / 2);
        std::memcpy(out.data(), raw.data(), out.size() * 2);
        return out;
    }

    MediaFolder media_;
    FakeAnki anki_;
    std::string ankiKey_;  // what the service sends as AnkiConnect's key
};

}  // namespace lirra::server::test
