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
        for (const auto& e : offer["subsToDownload"]) {
            (e["subFileName"] == "Film.en.srt" ? en_ : es_) =
                std::to_string(e["subtitleId"].get<long long>());
        }
        ASSERT_NE(en_, "");
        ASSERT_NE(es_, "");
    }

    // The video's subtitles the service holds, as the next lookup lists them.
    int held() {
        int count = 0;
        const json offer = lookupJson("Film.mkv");
        for (const auto& e : offer["subsToDownload"]) {
            count += !e["mustBeDownloaded"].get<bool>();
        }
        return count;
    }

    static std::string part(const std::string& name, const std::string& fileName,
                            const std::string& content) {
        return "Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + fileName +
               "\"\r\n\r\n" + content;
    }

    std::string en_, es_;
};

TEST_F(HostileInputTest, RefusedRequestsHoldNothing) {
    const std::string form = "application/x-www-form-urlencoded", multi = "multipart/form-data";
    const std::string lookupPath = "/Player/GetSubtitlesToDownload";
    const std::string uploadPath = "/Subtitles/UploadSubtitles";
    const std::string addPath =
        "/api/videos/" + lookupJson("Film.mkv")["videoId"].dump() + "/subtitles";
    const std::string good = part(en_, "Film.en.srt", srtFile(1));
    const auto two = [&](const std::string& second) {
        return "--B\r\n" + good + "\r\n--B\r\n" + second + "\r\n--B--\r\n";
    };
    const struct {
        std::string path, type, body;
        int status;
        httplib::Headers headers = {};
    } cases[] = {
        {lookupPath, form, "fileSize=1&movieHash=abc", 400},  // no fileName
        {lookupPath, form, "fileSize=99999999999999999999&movieHash=abc&fileName=a.mkv", 400},
        {lookupPath, form, "fileSize=9223372036854775807&movieHash=abc&fileName=a.mkv", 200},
        {lookupPath, form, "fileSize=9223372036854775808&movieHash=abc&fileName=a.mkv", 400},
        {lookupPath, form, "fileSize=1&movieHash=xyz&fileName=a.mkv", 400},
        {lookupPath, form, "fileSize=1&movieHash=ffffffffffffffff&fileName=a.mkv", 200},
        {lookupPath, form, "fileSize=1&movieHash=1ffffffffffffffff&fileName=a.mkv", 400},
        {lookupPath, form, "fileSize=1&movieHash=abc&fileName=%E9t%E9.mkv", 400},  // not UTF-8
        {lookupPath, form, "fileSize=1&movieHash=abc&fileName=a.mkv&fileName=b.mkv", 400},
        {lookupPath, form, "fileSize=1&movieHash=abc&fileName=" + std::string(1024, 'a'), 200},
        {lookupPath, form, "fileSize=1&movieHash=abc&fileName=" + std::string(1025, 'a'), 400},
        {lookupPath, form, "fileSize=1&movieHash=abc&fileName=a&nativeLanguageCode=%3Cb%3E", 400},
        {lookupPath, form, "fileSize=1&movieHash=abc&fileName=" + std::string(100 * 1024, 'a'),
         413},
        {lookupPath, "application/json", "{}", 415},
        {lookupPath, form, "x", 415, {{"Content-Encoding", "gzip"}}},
        // The name the adapter passes a multipart type under is its own: a client's is dropped.
        {lookupPath,
         form,
         "fileSize=1&movieHash=abc&fileName=a",
         200,
         {{"X-Lirra-Multipart-Content-Type", "text/plain"}}},
        {uploadPath, multi + "; boundary=B", "--B\r\n" + good, 400},   // no closing boundary
        {uploadPath, multi, "--B\r\n" + good + "\r\n--B--\r\n", 415},  // no boundary
        // A raw CR LF inside a header ends it: what follows is no header.
        {uploadPath, multi + "; boundary=B", two(part(es_, "a\r\nb.srt", "x")), 400},
        {uploadPath, multi + "; boundary=B", two(part("999999", "x.srt", srtFile(1))), 404},
        {uploadPath, multi + "; boundary=B", two(part("-1", "x.srt", srtFile(1))), 400},
        {uploadPath, multi + "; boundary=B", two(part("", "x.srt", srtFile(1))), 400},
        {uploadPath, multi + "; boundary=B", two(part("4294967296", "x.srt", srtFile(1))), 400},
        {uploadPath, multi + "; boundary=B",
         two(part(es_, "Film.es.srt", std::string("\x00\x01\x02\xff\xfe\x00", 6))), 422},
        {uploadPath, multi + "; boundary=B",
         two(part(es_, "Film.es.srt", srtFile(2) + std::string(9 << 20, 'x'))), 413},
        {uploadPath, multi + "; boundary=B", two(part(es_, "F.srt", std::string(33 << 20, 'x'))),
         413},
        {addPath, "application/json", "[]", 400},
        {addPath, "application/json", R"({"fileName": 1, "text": "x"})", 400},
        {addPath, "text/plain", "x", 415},
    };
    for (const auto& c : cases) {
        auto res = client().Post(c.path, c.headers, c.body, c.type);
        ASSERT_TRUE(res) << c.body.substr(0, 80);
        EXPECT_EQ(res->status, c.status) << c.body.substr(0, 80) << "\n" << res->body;
        if (c.status != 200) {
            EXPECT_NE(json::parse(res->body, nullptr, false).value("error", ""), "") << c.body;
        }
    }
    EXPECT_EQ(held(), 0);
}

TEST_F(HostileInputTest, QuotesAndLineBreaksInFileNamesComeBackClean) {
    // Encoded as the app encodes them: accepted, and stored without control characters.
    auto res = upload({{en_, "Say %22hi%22%0D%0A.srt", srtFile(1)}});
    ASSERT_TRUE(res && res->status == 200) << (res ? res->body : "");
    EXPECT_EQ(held(), 1);
    const long long videoId = lookupJson("Film.mkv")["videoId"];
    const json body = {{"fileName", "my \"best\"\r\nsubs.srt"}, {"text", srtFile(1)}};
    const json added = answer(client().Post("/api/videos/" + std::to_string(videoId) + "/subtitles",
                                            body.dump(), "application/json"),
                              201);
    EXPECT_EQ(added["tracks"][0]["fileName"], "my \"best\"  subs.srt");
    res = client().Get("/Subtitles/Download/" + added["tracks"][0]["subtitleId"].dump());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->get_header_value("Content-Disposition"),
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
}

}  // namespace
}  // namespace lirra::server::test
