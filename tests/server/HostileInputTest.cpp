// Bad and hostile requests: each gets a clear 4xx, nothing half-stored, and the server lives on.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;

class HostileInputTest : public ServerFixture {
  protected:
    void SetUp() override {
        ServerFixture::SetUp();
        writeFile(libraryDir_ + "/Film.en.srt", srtFile(2, "English"));
        writeFile(libraryDir_ + "/Film.es.srt", srtFile(2, "Spanish"));
        offer_ = lookupJson("Film.mkv");
        ASSERT_EQ(offer_["subsToDownload"].size(), 2u);
        for (const auto& e : offer_["subsToDownload"]) {
            (e["subFileName"] == "Film.en.srt" ? enId_ : esId_) =
                std::to_string(e["subtitleId"].get<long long>());
        }
    }

    // Held subtitles, read straight from the database, after an integrity check.
    int heldCount() {
        const std::string command = "sqlite3 -readonly '" + dataDir_ +
                                    "/lirra.sqlite3' 'PRAGMA integrity_check; SELECT count(*) "
                                    "FROM subtitles WHERE original IS NOT NULL'";
        FILE* out = ::popen(command.c_str(), "r");
        char ok[8] = {};
        int held = -1;
        EXPECT_EQ(std::fscanf(out, "%7s %d", ok, &held), 2);
        EXPECT_STREQ(ok, "ok");
        ::pclose(out);
        return held;
    }

    httplib::Result postMultipart(const std::string& body, const std::string& boundary = "B") {
        return client().Post("/Subtitles/UploadSubtitles", body,
                             "multipart/form-data; boundary=" + boundary);
    }

    json offer_;
    std::string enId_, esId_;
};

TEST_F(HostileInputTest, MalformedLookupFormsAreRefused) {
    const std::pair<std::string, int> cases[] = {
        {"fileSize=1&movieHash=abc", 400},                                    // no fileName
        {"fileSize=99999999999999999999&movieHash=abc&fileName=a.mkv", 400},  // overflow
        {"fileSize=1&movieHash=xyz&fileName=a.mkv", 400},                     // not hex
        {"fileSize=1&movieHash=abc&fileName=%E9t%E9.mkv", 400},               // not UTF-8
        {"fileSize=1&movieHash=abc&fileName=a.mkv&fileName=b.mkv", 400},      // repeated
        {"fileSize=1&movieHash=abc&fileName=a.mkv&nativeLanguageCode=%3Cscript%3E", 400},
        {"fileSize=1&movieHash=ffffffffffffffff&fileName=a.mkv", 200},   // 64 bits
        {"fileSize=1&movieHash=1ffffffffffffffff&fileName=a.mkv", 400},  // 65
        {"fileSize=9223372036854775807&movieHash=abc&fileName=a.mkv", 200},
        {"fileSize=9223372036854775808&movieHash=abc&fileName=a.mkv", 400},  // past int64
        {"fileSize=1&movieHash=abc&fileName=" + std::string(1024, 'a'), 200},
        {"fileSize=1&movieHash=abc&fileName=" + std::string(1025, 'a'), 400},
    };
    for (const auto& [body, status] : cases) {
        auto res = client().Post("/Player/GetSubtitlesToDownload", body,
                                 "application/x-www-form-urlencoded");
        ASSERT_TRUE(res) << body;
        EXPECT_EQ(res->status, status) << body;
        if (status != 200) {
            EXPECT_NE(json::parse(res->body, nullptr, false).value("error", ""), "") << body;
        }
    }
    // The name the adapter passes a multipart type under is its own: a client's is dropped.
    auto smuggled = client().Post(
        "/Player/GetSubtitlesToDownload", {{"X-Lirra-Multipart-Content-Type", "text/plain"}},
        "fileSize=1&movieHash=abc&fileName=a.mkv", "application/x-www-form-urlencoded");
    ASSERT_TRUE(smuggled);
    EXPECT_EQ(smuggled->status, 200) << smuggled->body;
    auto res = client().Post("/Player/GetSubtitlesToDownload", "{}", "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 415);
    EXPECT_EQ(lookupJson("Film.mkv")["videoId"], offer_["videoId"]);  // still serving
}

TEST_F(HostileInputTest, OversizedBodiesAreRefused) {
    const std::string bigForm = "fileSize=1&movieHash=abc&fileName=" + std::string(100 * 1024, 'a');
    auto res = client().Post("/Player/GetSubtitlesToDownload", bigForm,
                             "application/x-www-form-urlencoded");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);

    // One subtitle past the per-file limit inside an acceptable request.
    res = upload({{enId_, "Film.en.srt", srtFile(2) + std::string(9 * 1024 * 1024, 'x')}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);

    // A whole request past the multipart limit.
    res = upload({{enId_, "Film.en.srt", std::string(33 * 1024 * 1024, 'x')}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    EXPECT_EQ(heldCount(), 0);
}

// Malformed multipart bodies are refused whole by the parser (MultipartTest); here, that a refused
// body reaches no handler and stores nothing.
TEST_F(HostileInputTest, BrokenMultipartStoresNothing) {
    const std::string part = "Content-Disposition: form-data; name=\"" + enId_ +
                             "\"; filename=\"Film.en.srt\"\r\n\r\n" + srtFile(1);
    auto res = postMultipart("--B\r\n" + part);  // no closing boundary
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400);
    res = client().Post("/Subtitles/UploadSubtitles", part, "multipart/form-data");  // no boundary
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 415);
    EXPECT_EQ(heldCount(), 0);
}

TEST_F(HostileInputTest, UnknownOrBadIdsStoreNoneOfTheUpload) {
    // The first part is fine; the second names an id never offered: neither is stored.
    auto res = upload({{enId_, "Film.en.srt", srtFile(1)}, {"999999", "x.srt", srtFile(1)}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    EXPECT_EQ(heldCount(), 0);
    for (const char* bad : {"-1", "", "4294967296"}) {
        res = upload({{enId_, "Film.en.srt", srtFile(1)}, {bad, "x.srt", srtFile(1)}});
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << bad;
    }
    // A part that is not text at all is refused too, and takes the good part with it.
    res = upload({{enId_, "Film.en.srt", srtFile(1)},
                  {esId_, "Film.es.srt", std::string("\x00\x01\x02\xff\xfe\x00", 6)}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 422);
    EXPECT_EQ(heldCount(), 0);
    const json again = lookupJson("Film.mkv");
    for (const auto& e : again["subsToDownload"]) EXPECT_TRUE(e["mustBeDownloaded"].get<bool>());
}

TEST_F(HostileInputTest, QuotesAndLineBreaksInFileNames) {
    // Encoded as the app encodes them: accepted, and stored names carry no control characters.
    auto res = upload({{enId_, "Say %22hi%22%0D%0A.srt", srtFile(1)}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << res->body;
    EXPECT_EQ(heldCount(), 1);
    // Raw CR LF inside a header ends the line: the rest is not a header, so the body is refused.
    res = postMultipart("--B\r\nContent-Disposition: form-data; name=\"" + esId_ +
                        "\"; filename=\"a\r\nb.srt\"\r\nContent-Type: text/plain\r\n\r\n" +
                        srtFile(1) + "\r\n--B--\r\n");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400);
    EXPECT_EQ(heldCount(), 1);

    // A learner's file named with quotes and line breaks comes back clean in JSON and headers.
    const long long videoId = offer_["videoId"];
    const json body = {{"fileName", "my \"best\"\r\nsubs.srt"}, {"text", srtFile(1)}};
    res = client().Post("/api/videos/" + std::to_string(videoId) + "/subtitles", body.dump(),
                        "application/json");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 201) << res->body;
    const json added = json::parse(res->body);
    EXPECT_EQ(added["tracks"][0]["fileName"], "my \"best\"  subs.srt");
    const long long id = added["tracks"][0]["subtitleId"];
    res = client().Get("/Subtitles/Download/" + std::to_string(id));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->get_header_value("Content-Disposition"),
              "attachment; filename=\"my _best_  subs.srt\"");
}

TEST_F(HostileInputTest, PathsFromRequestsNeverReachTheFileSystem) {
    writeFile(root_ + "/secret.srt", srtFile(1, "Secret"));
    // A name that walks out of the library folder matches nothing.
    EXPECT_TRUE(lookupJson("..%2Fsecret.mkv")["subsToDownload"].empty());
    // A symlink from the library to a file outside it is not offered.
    ASSERT_EQ(::symlink((root_ + "/secret.srt").c_str(), (libraryDir_ + "/Linked.srt").c_str()), 0);
    EXPECT_TRUE(lookupJson("Linked.mkv")["subsToDownload"].empty());
    // Downloads are by id only.
    for (const char* path :
         {"/Subtitles/Download/..%2F..%2Fsecret.srt", "/Subtitles/Download/../../secret.srt",
          "/Subtitles/Download/99999999999", "/static/..%2Fhome.html"}) {
        auto res = client().Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 404) << path;
        EXPECT_EQ(res->body.find("Secret"), std::string::npos);
    }
}

TEST_F(HostileInputTest, SymlinkSwappedAfterTheOfferIsNotFollowed) {
    writeFile(root_ + "/secret.srt", srtFile(1, "Secret"));
    // Offered while a regular file, then replaced by a link to a file outside the library.
    ASSERT_EQ(::unlink((libraryDir_ + "/Film.es.srt").c_str()), 0);
    ASSERT_EQ(::symlink((root_ + "/secret.srt").c_str(), (libraryDir_ + "/Film.es.srt").c_str()),
              0);
    auto res = client().Get("/Subtitles/Download/" + esId_);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
}

TEST_F(HostileInputTest, CompressedAndNonJsonBodiesAreRefused) {
    httplib::Headers headers = {{"Content-Encoding", "gzip"}};
    auto res = client().Post("/Player/GetSubtitlesToDownload", headers, "x", 1,
                             "application/x-www-form-urlencoded");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 415);
    const std::string video =
        "/api/videos/" + std::to_string(offer_["videoId"].get<long long>()) + "/subtitles";
    for (const char* body : {"[]", "{\"fileName\": 1, \"text\": \"x\"}"}) {
        res = client().Post(video, body, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << body;
    }
    EXPECT_EQ(heldCount(), 0);
}

}  // namespace
}  // namespace lirra::server::test
