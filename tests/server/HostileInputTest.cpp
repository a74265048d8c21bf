// SPDX-License-Identifier: GPL-3.0-or-later
// Bad and hostile requests: each gets its status with a reason, nothing is half-stored, no path
// from a request reaches the file system, and the server serves on.
#include <unistd.h>

#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;
using namespace std::string_literals;

class HostileInputTest : public ServerFixture {
  protected:
    void SetUp() override {
        ServerFixture::SetUp();
        writeFile(libraryDir_ + "/Film.en.srt", srtFile(2, "English"));
        writeFile(libraryDir_ + "/Film.es.srt", srtFile(2, "Spanish"));
        const json offer = lookupJson("Film.mkv");
        for (const auto& e : offer["subsToDownload"])
            (e["subFileName"] == "Film.en.srt" ? en_ : es_) =
                std::to_string(e["subtitleId"].get<long long>());
        ASSERT_NE(en_, "");
        ASSERT_NE(es_, "");
    }

    // The video's subtitles the service holds, as the next lookup lists them.
    long held() {
        const json offers = lookupJson("Film.mkv")["subsToDownload"];
        return std::count_if(offers.begin(), offers.end(),
                             [](const json& e) { return !e["mustBeDownloaded"].get<bool>(); });
    }

    static std::string part(const std::string& name, const std::string& fileName,
                            const std::string& content) {
        return "Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + fileName +
               "\"\r\n\r\n" + content;
    }

    std::string en_, es_;
};

TEST_F(HostileInputTest, RefusedRequestsHoldNothing) {
    const std::string type = "application/x-www-form-urlencoded", multi = "multipart/form-data";
    const std::string form = "fileSize=1&movieHash=abc&fileName=";
    const std::string lookupPath = "/Player/GetSubtitlesToDownload";
    const std::string uploadPath = "/Subtitles/UploadSubtitles", b = multi + "; boundary=B";
    const std::string addPath =
        "/api/videos/" + lookupJson("Film.mkv")["videoId"].dump() + "/subtitles";
    const std::string good = part(en_, "Film.en.srt", srtFile(1));
    const auto two = [&](const std::string& second) {
        return "--B\r\n" + good + "\r\n--B\r\n" + second + "\r\n--B--\r\n";
    };
    const auto look = [&](const std::string& body, int status, httplib::Headers headers = {}) {
        return Ask{"POST", lookupPath, status, body, type, std::move(headers)};
    };
    const auto named = [&](const std::string& name, int status) {
        return look(form + name, status);
    };
    const auto up = [&](const std::string& second, int status) {
        return Ask{"POST", uploadPath, status, two(second), b};
    };
    expectStatuses({
        look("fileSize=1&movieHash=abc", 400),  // no fileName
        look("fileSize=99999999999999999999&movieHash=abc&fileName=a", 400),
        look("fileSize=9223372036854775807&movieHash=abc&fileName=a", 200),
        look("fileSize=9223372036854775808&movieHash=abc&fileName=a", 400),
        look("fileSize=1&movieHash=xyz&fileName=a.mkv", 400),
        look("fileSize=1&movieHash=ffffffffffffffff&fileName=a", 200),
        look("fileSize=1&movieHash=1ffffffffffffffff&fileName=a", 400),
        named("%E9t%E9.mkv", 400),  // not UTF-8
        named("a.mkv&fileName=b.mkv", 400),
        named(std::string(1024, 'a'), 200),
        named(std::string(1025, 'a'), 400),
        named("a&nativeLanguageCode=%3Cb%3E", 400),
        look(form + std::string(65536 - form.size(), 'a'), 400),  // the lookup's limit: read
        look(form + std::string(65537 - form.size(), 'a'), 413),
        look("x", 415, {{"Content-Encoding", "gzip"}}),
        {"POST", lookupPath, 415, "{}", "application/json"},
        {"POST", uploadPath, 400, "--B\r\n" + good, b},                        // not closed
        {"POST", uploadPath, 415, "--B\r\n" + good + "\r\n--B--\r\n", multi},  // no boundary
        up(part(es_, "a\r\nb.srt", "x"), 400),  // a raw CR LF ends a header: the rest is none
        up(part("999999", "x.srt", srtFile(1)), 404),
        up(part("-1", "x.srt", srtFile(1)), 400),
        up(part("", "x.srt", srtFile(1)), 400),
        up(part("4294967296", "x.srt", srtFile(1)), 400),
        up(part(es_, "F.srt", std::string("\x00\x01\xff\xfe\x00", 5)), 422),
        up(part(es_, "F.srt", srtFile(2) + std::string(9 << 20, 'x')), 413),
        up(part(es_, "F.srt", std::string(33 << 20, 'x')), 413),
        {"POST", addPath, 400, "[]", "application/json"},
        {"POST", addPath, 400, R"({"fileName": 1, "text": "x"})", "application/json"},
        {"POST", addPath, 415, "x", "text/plain"},
    });
    EXPECT_EQ(held(), 0);
    // Quotes and line breaks in names, encoded as the app encodes them, are stored without
    // control characters and served without ending the header's quoted name.
    ASSERT_EQ(upload({{en_, "Say %22hi%22%0D%0A.srt", srtFile(1)}})->status, 200);
    EXPECT_EQ(held(), 1);
    const json added = answer(
        addText(lookupJson("Film.mkv")["videoId"], "my \"best\"\r\nsubs.srt", srtFile(1)), 201);
    EXPECT_EQ(added["tracks"][0]["fileName"], "my \"best\"  subs.srt");
    EXPECT_EQ(client()
                  .Get("/Subtitles/Download/" + added["tracks"][0]["subtitleId"].dump())
                  ->get_header_value("Content-Disposition"),
              "attachment; filename=\"my _best_  subs.srt\"");
}

TEST_F(HostileInputTest, PathsFromRequestsNeverReachTheFileSystem) {
    writeFile(root_ + "/secret.srt", srtFile(1, "Secret"));
    // A name that walks out of the library, and a link from the library out of it: no offer.
    EXPECT_TRUE(lookupJson("..%2Fsecret.mkv")["subsToDownload"].empty());
    ASSERT_EQ(::symlink((root_ + "/secret.srt").c_str(), (libraryDir_ + "/Linked.srt").c_str()), 0);
    EXPECT_TRUE(lookupJson("Linked.mkv")["subsToDownload"].empty());
    // An offered file replaced by such a link after the offer is not followed either.
    ASSERT_EQ(::unlink((libraryDir_ + "/Film.es.srt").c_str()), 0);
    ASSERT_EQ(::symlink((root_ + "/secret.srt").c_str(), (libraryDir_ + "/Film.es.srt").c_str()),
              0);
    for (const std::string& path :
         {"/Subtitles/Download/" + es_, "/Subtitles/Download/..%2F..%2Fsecret.srt"s,
          "/Subtitles/Download/../../secret.srt"s, "/Subtitles/Download/99999999999"s,
          "/static/..%2Fhome.html"s, "/static/home.html"s}) {
        auto res = client().Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 404) << path;
        EXPECT_EQ(res->body.find("Secret"), std::string::npos);
    }
    EXPECT_EQ(client().Get("/nowhere")->body, R"({"error":"no such resource"})");
}

}  // namespace
}  // namespace lirra::server::test
