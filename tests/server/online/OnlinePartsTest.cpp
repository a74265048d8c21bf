// The online source's pure parts: language codes, title guesses, the queries and file names, the
// choice of file, the answer reader on good and hostile answers, the address rules and the
// secrets file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "AnswerReader.h"
#include "ApiLanguages.h"
#include "ApiQueries.h"
#include "ApiUrl.h"
#include "BestFile.h"
#include "OnlineClient.h"
#include "Secrets.h"
#include "TitleGuess.h"

namespace lirra::server::online {
namespace {

TEST(ApiLanguages, CodesToTheDatabaseAndBack) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"spa", "eng"}, "en,es"},
        {{"eng", "por"}, "en,pt-br,pt-pt"},
        {{"chi", "eng", "chi"}, "en,zh-cn,zh-tw"},
        {{"ENG", "xyz", ""}, "en"},
        {{"gre", "rum", "slo", "baq", "per"}, "el,eu,fa,ro,sk"},  // 639-2/B, not /T
        {{}, ""},
    };
    for (const auto& [codes, param] : cases) EXPECT_EQ(apiLanguageParam(codes), param);
    for (const char* code : {"eng", "por", "chi", "gre", "may", "urd"}) {
        for (const auto& one : apiCodesFor(code)) EXPECT_EQ(codeForApiLanguage(one), code) << one;
    }
    EXPECT_EQ(codeForApiLanguage("pt-BR"), "por");
    EXPECT_EQ(codeForApiLanguage("pt"), "por");
    EXPECT_EQ(codeForApiLanguage("xx"), "");
    EXPECT_EQ(codeForApiLanguage("eng"), "");  // the database never answers 639-2 codes
    // Every language of the pages, and English, in the database's codes (ISO 639-1, and its
    // variants of Portuguese and Chinese).
    std::stringstream pages;
    pages << std::ifstream(LIRRA_LANGUAGES_JS).rdbuf();
    const std::string source = pages.str();
    std::vector<std::string> codes{"eng"};
    const std::regex entry(R"(\['([a-z]{3})', ')");
    for (auto it = std::sregex_iterator(source.begin(), source.end(), entry);
         it != std::sregex_iterator(); ++it) {
        codes.push_back((*it)[1]);
    }
    EXPECT_EQ(codes.size(), 44u);
    EXPECT_EQ(apiLanguageParam(codes),
              "ar,bg,bn,ca,cs,da,de,el,en,es,et,eu,fa,fi,fr,gl,he,hi,hr,hu,id,it,ja,ko,lt,lv,ms,nl,"
              "no,pl,pt-br,pt-pt,ro,ru,sk,sl,sr,sv,ta,th,tr,uk,ur,vi,zh-cn,zh-tw");
}

TEST(ApiQueries, HashesTitlesAndFileNames) {
    for (const auto& [hash, padded] :
         std::vector<std::pair<std::string, std::string>>{{"a1B2", "000000000000a1b2"},
                                                          {"00a1b2c3d4e5f607", "00a1b2c3d4e5f607"},
                                                          {"0", ""},
                                                          {"", ""},
                                                          {"12g4", ""},
                                                          {"10000000000000000", ""}}) {
        EXPECT_EQ(paddedHash(hash), padded) << hash;
    }
    EXPECT_EQ(titleSearchQuery({"big buck bunny", {}, {}, 2008}, "en,es"),
              "ai_translated=include&languages=en,es&machine_translated=include&query=big+buck+"
              "bunny&year=2008");
    const std::tuple<const char*, const char*, const char*, const char*> names[] = {
        {"Film.mkv", "eng", "x.srt", "Film.eng.srt"},
        {"Film.mkv", "spa", "Film.ASS", "Film.spa.ass"},
        {"Show.S01.mkv", "por", "a.vtt", "Show.S01.por.vtt"},
        {"Film.mkv", "eng", "x.txt", "Film.eng.srt"},  // the database converts on request
        {"Film", "eng", "", "Film.eng.srt"},
        {"", "eng", "a.sub", "video.eng.sub"},
    };
    for (const auto& [video, language, answered, name] : names) {
        EXPECT_EQ(subFileName(video, language, answered), name) << video << " " << answered;
    }
}

TEST(TitleGuess, FileNamesGiveTitleSeasonEpisodeAndYear) {
    struct Case {
        std::string name, title;
        int season, episode, year;  // 0: none
    };
    const std::vector<Case> cases = {
        {"The.Wire.S01E02.720p.HDTV.x264.mkv", "the wire", 1, 2, 0},
        {"the_wire_s1e2.avi", "the wire", 1, 2, 0},
        {"Show Name - 3x07 - Episode Title.mp4", "show name", 3, 7, 0},
        {"Show.S02E05E06.mkv", "show", 2, 5, 0},
        {"Big Buck Bunny (2008) [1080p].mp4", "big buck bunny", 0, 0, 2008},
        {"/videos/Big.Buck.Bunny.2008.1080p.BluRay.x264-GRP.mkv", "big buck bunny", 0, 0, 2008},
        {"1917.2019.1080p.mkv", "1917", 0, 0, 2019},
        {"[Group] Some Film 1080p.mkv", "some film", 0, 0, 0},
        {"Film.mkv", "film", 0, 0, 0},
        {"Amélie.2001.mkv", "amélie", 0, 0, 2001},
        {"x264.mkv", "x264", 0, 0, 0},
        {"", "", 0, 0, 0},
        {"S01E01.mkv", "", 1, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto guess = guessTitle(c.name);
        EXPECT_EQ(guess.title, c.title);
        EXPECT_EQ(guess.season.value_or(0), c.season);
        EXPECT_EQ(guess.episode.value_or(0), c.episode);
        EXPECT_EQ(guess.year.value_or(0), c.year);
    }
    EXPECT_LE(guessTitle(std::string(5000, 'a') + " b.mkv").title.size(), 100u);
}

TEST(BestFile, RanksHashMatchThenHumanThenNotHearingImpairedThenDownloads) {
    // Flags: h hash match, m machine translated, a AI translated, i hearing impaired.
    auto file = [](std::int64_t id, std::string flags, std::int64_t downloads) {
        Candidate c;
        c.fileId = id;
        c.language = "eng";
        c.hashMatch = flags.find('h') != std::string::npos;
        c.machineTranslated = flags.find('m') != std::string::npos;
        c.aiTranslated = flags.find('a') != std::string::npos;
        c.hearingImpaired = flags.find('i') != std::string::npos;
        c.downloads = downloads;
        return c;
    };
    struct Case {
        const char* what;
        std::vector<Candidate> files;
        std::int64_t expected;
    };
    const std::vector<Case> cases = {
        {"hash match beats downloads", {file(1, "", 9000), file(2, "h", 1)}, 2},
        {"a hashed machine translation beats a human title match",
         {file(1, "", 10), file(2, "hm", 1)},
         2},
        {"human beats machine", {file(1, "hm", 500), file(2, "h", 5)}, 2},
        {"human beats AI", {file(1, "ha", 500), file(2, "h", 5)}, 2},
        {"hearing-impaired only when nothing else", {file(1, "hi", 500), file(2, "h", 5)}, 2},
        {"hearing-impaired when it is all there is", {file(1, "hi", 5)}, 1},
        {"then downloads", {file(1, "h", 5), file(2, "h", 50)}, 2},
        {"ties go to the lower id", {file(7, "h", 5), file(3, "h", 5)}, 3},
    };
    for (const auto& c : cases) {
        const auto best = pickBest(c.files, {"eng"});
        ASSERT_EQ(best.count("eng"), 1u) << c.what;
        EXPECT_EQ(best.at("eng").fileId, c.expected) << c.what;
    }
    auto spanish = file(9, "h", 1);
    spanish.language = "spa";
    const auto best = pickBest({file(1, "h", 1), spanish}, {"spa", "fre"});
    ASSERT_EQ(best.size(), 1u);
    EXPECT_EQ(best.at("spa").fileId, 9);
}

TEST(AnswerReader, SearchAnswersGoodAndHostile) {
    const std::string good = R"({"total_count":3,"data":[
        {"id":"1","type":"subtitle","attributes":{"language":"en","download_count":12,
         "hearing_impaired":true,"machine_translated":false,"ai_translated":true,
         "moviehash_match":true,"files":[{"file_id":77,"cd_number":1,"file_name":"A.srt"}]}},
        {"id":"2","attributes":{"language":"pt-BR","files":[{"file_id":78}]}},
        {"id":"3","attributes":{"language":"en","files":[{"file_id":79},{"file_id":80}]}},
        {"id":"4","attributes":{"language":"xx","files":[{"file_id":81}]}},
        {"id":"5","attributes":{"language":"en","files":[{"file_id":"82"}]}},
        {"id":"6","attributes":{"language":"en","files":[{"file_id":-3}]}},
        {"id":"7","attributes":{"language":"en","download_count":"many","moviehash_match":"yes",
         "files":[{"file_id":83,"file_name":"B\u0001.srt"}]}},
        "junk", 5, null]})";
    const auto answer = readSearchAnswer(good);
    ASSERT_EQ(answer.error, "");
    ASSERT_EQ(answer.candidates.size(), 3u);
    const auto& a = answer.candidates[0];
    EXPECT_EQ(a.fileId, 77);
    EXPECT_EQ(a.language, "eng");
    EXPECT_EQ(a.fileName, "A.srt");
    EXPECT_TRUE(a.hashMatch && a.hearingImpaired && a.aiTranslated && !a.machineTranslated);
    EXPECT_EQ(a.downloads, 12);
    EXPECT_EQ(answer.candidates[1].language, "por");
    EXPECT_FALSE(answer.candidates[1].hashMatch);
    EXPECT_EQ(answer.candidates[2].fileId, 83);
    EXPECT_FALSE(answer.candidates[2].hashMatch);  // "yes" is not true
    EXPECT_EQ(answer.candidates[2].downloads, 0);
    EXPECT_EQ(answer.candidates[2].fileName, "B .srt");

    // The reasons go to the log only; the learner reads the client's message.
    for (const std::string& body :
         {std::string(), std::string("<html>Bad gateway</html>"), std::string("[1,2]"),
          std::string(R"({"data":{"a":1}})"), std::string(R"({"status":401,"message":"bad"})"),
          std::string(100, '[') + std::string(100, ']'), std::string("{\"data\":[\"\xff\"]}")}) {
        const auto result = readSearchAnswer(body);
        EXPECT_NE(result.error, "") << body.substr(0, 40);
        EXPECT_TRUE(result.candidates.empty());
    }
    std::string many = R"({"data":[)";
    for (int i = 1; i <= 1500; ++i) {
        many += (i > 1 ? "," : "") +
                std::string(R"({"attributes":{"language":"en","files":[{"file_id":)") +
                std::to_string(i) + "}]}}";
    }
    EXPECT_EQ(readSearchAnswer(many + "]}").candidates.size(), kMaxCandidates);
}

// Good link and login answers are read in OnlineClientTest, from the fake's documented shapes.
TEST(AnswerReader, LinkAndLoginAnswersThatCannotBeUsed) {
    for (const std::string& body :
         {std::string(R"({"remaining":0})"), std::string(R"({"link":42})"),
          "{\"link\":\"" + std::string(5000, 'a') + "\"}"}) {  // too long to follow, not cut
        EXPECT_NE(readLinkAnswer(body).error, "") << body.substr(0, 40);
    }
    EXPECT_NE(readLoginAnswer(R"({"token":"a b"})").error, "");  // a header could be forged
    EXPECT_NE(readLoginAnswer(R"({"status":200})").error, "");
}

TEST(AnswerReader, RetryAfterAndUtcTimes) {
    EXPECT_EQ(readRetryAfter("3"), std::chrono::seconds(3));
    EXPECT_EQ(readRetryAfter(" 120 "), std::chrono::seconds(120));
    EXPECT_EQ(readRetryAfter("99999999999"), std::chrono::seconds(86400));
    for (const char* bad : {"", "-1", "1.5", "Wed, 21 Oct 2015 07:28:00 GMT", "12a"}) {
        EXPECT_FALSE(readRetryAfter(bad)) << bad;
    }
    using namespace std::chrono;
    const auto t = readUtcTime("2022-04-08T13:03:16.000Z");
    ASSERT_TRUE(t);
    EXPECT_EQ(*t, sys_days(year(2022) / April / 8) + hours(13) + minutes(3) + seconds(16));
    EXPECT_TRUE(readUtcTime("2022-04-08T13:03:16Z"));
    for (const char* bad : {"2022-02-30T00:00:00Z", "2022-04-08T25:00:00Z", "2022-04-08T13:03:16",
                            "2022-04-08T13:03:16.Z", "2022-04-08T13:03:16.12345678901234567890123Z",
                            "6022-04-08T13:03:16Z", "tomorrow"}) {
        EXPECT_FALSE(readUtcTime(bad)) << bad;
    }
}

TEST(ApiUrl, RootsLinksAndBaseUrls) {
    std::string error;
    for (const char* good :
         {"https://api.example.com/api/v1", "https://api.example.com:8443/api/v1/",
          "http://127.0.0.1:9/api/v1", "http://[::1]:9/api/v1", "http://localhost:9"}) {
        EXPECT_TRUE(parseApiRoot(good, error)) << good;
    }
    for (const char* bad : {"http://api.example.com/api/v1", "http://10.0.0.1/api/v1",
                            "ftp://127.0.0.1/", "https://user:pw@api.example.com/",
                            "https://api.example.com/?a=1", "https://api example.com/",
                            "https://:443/", "https://api.example.com:99999/", "api.example.com"}) {
        EXPECT_FALSE(parseApiRoot(bad, error)) << bad;
    }
    EXPECT_EQ(OnlineConfig().apiUrl, "https://api.opensubtitles.com/api/v1");
    const auto root = *parseApiRoot("https://api.example.com/api/v1/", error);
    EXPECT_EQ(root.text(), "https://api.example.com:443/api/v1");

    const auto loopbackRoot = *parseApiRoot("http://127.0.0.1:5000/api/v1", error);
    struct LinkCase {
        const char* link;
        const ApiUrl* root;
        bool ok;
    };
    for (const auto& c : std::vector<LinkCase>{
             {"https://dl.example.com/f/1.srt", &root, true},
             {"http://dl.example.com/f/1.srt", &root, false},
             {"https://127.0.0.1:7000/x", &root, false},
             {"https://localhost/x", &root, false},
             {"http://127.0.0.1:5000/files/1.srt", &loopbackRoot, true},
             {"http://127.0.0.1:7000/Subtitles/Download/1", &loopbackRoot, false},  // ourselves
             {"http://localhost:7000/x", &loopbackRoot, false},
         }) {
        std::string reason;
        const auto link = parseHttpUrl(c.link, error);
        ASSERT_TRUE(link) << c.link;
        EXPECT_EQ(acceptableLink(*link, *c.root, 7000, reason), c.ok) << c.link << " " << reason;
    }
    for (const char* bad : {"file:///etc/passwd", "javascript:alert(1)", "ftp://x/y", "//x/y",
                            "https://a\r\nb/", "data:text/plain,hi"}) {
        EXPECT_FALSE(parseHttpUrl(bad, error)) << bad;
    }

    EXPECT_EQ(withBaseUrl(root, "vip-api.example.com").text(),
              "https://vip-api.example.com:443/api/v1");
    EXPECT_EQ(withBaseUrl(root, "https://vip-api.example.com/").text(),
              "https://vip-api.example.com:443/api/v1");
    EXPECT_EQ(withBaseUrl(root, "127.0.0.1:80").text(), root.text());  // never to loopback
    EXPECT_EQ(withBaseUrl(root, "bad host!").text(), root.text());
    EXPECT_EQ(withBaseUrl(loopbackRoot, "api.example.com").text(), loopbackRoot.text());
    EXPECT_EQ(withBaseUrl(loopbackRoot, "127.0.0.2:6000").text(), "http://127.0.0.2:6000/api/v1");
    EXPECT_EQ(queryEncode("big buck & bunny/é"), "big+buck+%26+bunny%2F%C3%A9");
}

// Saving from the page, owner-only, and a restart reading it back are in OnlineLookupTest.
TEST(Secrets, LooseModeMendedBadFilesAndKeyFilesRefused) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("lirra-secrets-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string error;
    ASSERT_EQ(saveSecrets(dir.string(), {"abcDEF123", "learner", "pass \"word\" é"}), "");
    ::chmod((dir / kSecretsFileName).c_str(), 0644);
    const auto loaded = loadSecrets(dir.string(), error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->password, "pass \"word\" é");
    struct stat info {};
    ASSERT_EQ(::stat((dir / kSecretsFileName).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    for (const char* bad :
         {"not json", R"({"key":"has space"})", R"({"key":5})", R"({"password":"a\u0001b"})"}) {
        std::ofstream(dir / kSecretsFileName) << bad;
        EXPECT_FALSE(loadSecrets(dir.string(), error)) << bad;
    }
    const auto keyFile = dir / "key";
    std::ofstream(keyFile) << "  k3yValue \nsecond line\n";
    EXPECT_EQ(readKeyFile(keyFile.string(), error).value_or("?"), "k3yValue");
    for (const std::string& bad : {std::string("\n"), std::string(300, 'k')}) {
        std::ofstream(keyFile) << bad;
        EXPECT_FALSE(readKeyFile(keyFile.string(), error));
    }
    EXPECT_FALSE(readKeyFile((dir / "missing").string(), error));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lirra::server::online
