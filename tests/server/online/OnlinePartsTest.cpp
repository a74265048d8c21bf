// SPDX-License-Identifier: GPL-3.0-or-later
// The online source's pure parts: language codes, title guesses, queries, the choice of file, the
// answer reader, the address rules and the secrets file.
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
#include "LinkFetch.h"
#include "OnlineClient.h"
#include "Secrets.h"
#include "TitleGuess.h"

namespace lirra::server::online {
namespace {

TEST(ApiLanguages, CodesToTheDatabaseAndBack) {
    EXPECT_EQ(apiLanguageParam({"ENG", "xyz", "", "chi", "eng", "chi"}), "en,zh-cn,zh-tw");
    EXPECT_EQ(apiLanguageParam({}), "");
    // Never 639-2 codes from the database.
    for (const std::string c : {"pt-BR=por", "pt-pt=por", "pt=por", "zh-TW=chi", "xx=", "eng="})
        EXPECT_EQ(codeForApiLanguage(c.substr(0, c.find('='))), c.substr(c.find('=') + 1)) << c;
    // Every language of the pages (ISO 639-2/B), and English, in the database's codes (ISO
    // 639-1, and its variants of Portuguese and Chinese), and each of them read back.
    std::stringstream pages;
    pages << std::ifstream(LIRRA_LANGUAGES_JS).rdbuf();
    const std::string source = pages.str();
    std::vector<std::string> codes{"eng"};
    const std::regex entry(R"(\['([a-z]{3})', ')");
    for (auto it = std::sregex_iterator(source.begin(), source.end(), entry);
         it != std::sregex_iterator(); ++it) {
        codes.push_back((*it)[1]);
        for (const auto& api : apiCodesFor(codes.back()))
            EXPECT_EQ(codeForApiLanguage(api), codes.back());
    }
    EXPECT_EQ(apiLanguageParam(codes),
              "ar,bg,bn,ca,cs,da,de,el,en,es,et,eu,fa,fi,fr,gl,he,hi,hr,hu,id,it,ja,ko,lt,lv,ms,nl,"
              "no,pl,pt-br,pt-pt,ro,ru,sk,sl,sr,sv,ta,th,tr,uk,ur,vi,zh-cn,zh-tw");
}

TEST(ApiQueries, HashesTitlesAndFileNames) {
    for (const std::string c : {"a1B2=000000000000a1b2", "00a1b2c3d4e5f607=00a1b2c3d4e5f607",
                                "0=", "=", "12g4=", "10000000000000000="})
        EXPECT_EQ(paddedHash(c.substr(0, c.find('='))), c.substr(c.find('=') + 1)) << c;
    EXPECT_EQ(titleSearchQuery({"big buck bunny", {}, {}, 2008}, "en,es"),
              "ai_translated=include&languages=en,es&machine_translated=include&query=big+buck+"
              "bunny&year=2008");
    // Formats the service does not read become .srt: the database converts on request.
    // "VIDEO ANSWERED=NAME"
    for (const std::string c :
         {"Film.mkv x.srt=Film.eng.srt", "Film.mkv Film.ASS=Film.eng.ass",
          "Show.S01.mkv a.vtt=Show.S01.eng.vtt", "Film.mkv x.txt=Film.eng.srt",
          "Film =Film.eng.srt", " a.sub=video.eng.sub"}) {
        const auto space = c.find(' '), eq = c.find('=');
        EXPECT_EQ(subFileName(c.substr(0, space), "eng", c.substr(space + 1, eq - space - 1)),
                  c.substr(eq + 1));
    }
}

TEST(TitleGuess, FileNamesGiveTitleSeasonEpisodeAndYear) {
    // "FILE NAME=title/season/episode/year", 0 for none.
    for (const std::string c :
         {"The.Wire.S01E02.720p.HDTV.x264.mkv=the wire/1/2/0", "the_wire_s1e2.avi=the wire/1/2/0",
          "Show Name - 3x07 - Episode Title.mp4=show name/3/7/0", "Show.S02E05E06.mkv=show/2/5/0",
          "Big Buck Bunny (2008) [1080p].mp4=big buck bunny/0/0/2008",
          "/videos/Big.Buck.Bunny.2008.1080p.BluRay.x264-GRP.mkv=big buck bunny/0/0/2008",
          "1917.2019.1080p.mkv=1917/0/0/2019", "[Group] Some Film 1080p.mkv=some film/0/0/0",
          "Amélie.2001.mkv=amélie/0/0/2001", "x264.mkv=x264/0/0/0", "=/0/0/0",
          "S01E01.mkv=/1/1/0"}) {
        const auto g = guessTitle(c.substr(0, c.find('=')));
        EXPECT_EQ(g.title + "/" + std::to_string(g.season.value_or(0)) + "/" +
                      std::to_string(g.episode.value_or(0)) + "/" +
                      std::to_string(g.year.value_or(0)),
                  c.substr(c.find('=') + 1));
    }
    EXPECT_LE(guessTitle(std::string(5000, 'a') + " b.mkv").title.size(), 100u);
}

TEST(BestFile, RanksHashMatchThenHumanThenNotHearingImpairedThenDownloads) {
    // "ID:FLAGS:DOWNLOADS ...=the id picked"; flags h hash match, m machine or a AI translated,
    // i hearing impaired.
    // A hashed machine translation beats a human title match.
    for (const std::string c :
         {"1::9000 2:h:1=2", "1::10 2:hm:1=2", "1:hm:500 2:h:5=2", "1:ha:500 2:h:5=2",
          "1:hi:500 2:h:5=2", "1:hi:5=1", "1:h:5 2:h:50=2", "7:h:5 3:h:5=3"}) {
        const std::string files = c.substr(0, c.find('=')), best = c.substr(c.find('=') + 1);
        std::vector<Candidate> candidates;
        std::istringstream list(files);
        for (std::string file; list >> file;) {
            const auto first = file.find(':'), second = file.rfind(':');
            const std::string flags = file.substr(first + 1, second - first - 1);
            auto has = [&](char flag) { return flags.find(flag) != std::string::npos; };
            candidates.push_back({std::stoll(file), "eng", "", has('h'), has('m'), has('a'),
                                  has('i'), std::stoll(file.substr(second + 1))});
        }
        const auto picked = pickBest(candidates, {"eng"});
        EXPECT_EQ(picked.count("eng") ? std::to_string(picked.at("eng").fileId) : "", best)
            << files;
        candidates.push_back(candidates.front());
        candidates.back().language = "spa";
        EXPECT_EQ(pickBest(candidates, {"spa", "fre"}).size(), 1u);
    }
}

TEST(AnswerReader, SearchAnswersGoodAndHostile) {
    const std::string good = R"({"total_count":3,"data":[
        {"id":"1","type":"subtitle","attributes":{"language":"en","download_count":12,
         "hearing_impaired":true,"machine_translated":false,"ai_translated":true,
         "moviehash_match":true,"files":[{"file_id":77,"cd_number":1,"file_name":"A.srt"}]}},
        {"id":"2","attributes":{"language":"pt-BR","machine_translated":true,"files":[{"file_id":78}]}},
        {"id":"3","attributes":{"language":"en","files":[{"file_id":79},{"file_id":80}]}},
        {"id":"4","attributes":{"language":"xx","files":[{"file_id":81}]}},
        {"id":"5","attributes":{"language":"en","files":[{"file_id":"82"}]}},
        {"id":"6","attributes":{"language":"en","files":[{"file_id":-3}]}},
        {"id":"7","attributes":{"language":"en","download_count":"many","moviehash_match":"yes",
         "files":[{"file_id":83,"file_name":"B\u0001.srt"}]}},
        "junk", 5, null]})";
    const auto answer = readSearchAnswer(good);
    ASSERT_EQ(answer.error, "");
    std::string read;  // "ID LANGUAGE NAME DOWNLOADS FLAGS" each; "yes" is not true
    for (const auto& c : answer.candidates)
        read += std::to_string(c.fileId) + " " + c.language + " " + c.fileName + " " +
                std::to_string(c.downloads) + " " + (c.hashMatch ? "h" : "") +
                (c.machineTranslated ? "m" : "") + (c.aiTranslated ? "a" : "") +
                (c.hearingImpaired ? "i" : "") + "|";
    EXPECT_EQ(read, "77 eng A.srt 12 hai|78 por  0 m|83 eng B .srt 0 |");

    // The reasons go to the log only; the learner reads the client's message.
    for (const std::string& body :
         {std::string(), std::string("<html>Bad gateway</html>"), std::string("[1,2]"),
          std::string(R"({"data":{"a":1}})"), std::string(R"({"status":401,"message":"bad"})"),
          std::string(100, '[') + std::string(100, ']'), std::string("{\"data\":[\"\xff\"]}")}) {
        const auto result = readSearchAnswer(body);
        EXPECT_TRUE(!result.error.empty() && result.candidates.empty()) << body.substr(0, 40);
    }
    std::string many = R"({"data":[)";
    for (int i = 1; i <= 1500; ++i)
        many +=
            R"({"attributes":{"language":"en","files":[{"file_id":)" + std::to_string(i) + "}]}},";
    many.back() = ']';
    EXPECT_EQ(readSearchAnswer(many + "}").candidates.size(), kMaxCandidates);
    // Good link and login answers are read in OnlineClientTest, from the fake's documented shapes.
    for (const std::string& body :
         {std::string(R"({"remaining":0})"), std::string(R"({"link":42})"),
          "{\"link\":\"" + std::string(5000, 'a') + "\"}"})
        EXPECT_NE(readLinkAnswer(body).error, "") << body.substr(0, 40);  // too long: not cut
    EXPECT_NE(readLoginAnswer(R"({"token":"a b"})").error, "");  // a header could be forged
    EXPECT_NE(readLoginAnswer(R"({"status":200})").error, "");
}

TEST(AnswerReader, RetryAfterAndUtcTimes) {
    // "HEADER=seconds", "-" for none: delay seconds only, capped at a day.
    for (const std::string c : {"3=3", " 120 =120", "99999999999=86400", "=-", "-1=-", "1.5=-",
                                "Wed, 21 Oct 2015 07:28:00 GMT=-", "12a=-"}) {
        const auto wait = readRetryAfter(c.substr(0, c.find('=')));
        EXPECT_EQ(wait ? std::to_string(wait->count()) : "-", c.substr(c.find('=') + 1)) << c;
    }
    using namespace std::chrono;
    EXPECT_EQ(readUtcTime("2022-04-08T13:03:16.000Z").value_or(sys_seconds()),
              sys_days(year(2022) / April / 8) + hours(13) + minutes(3) + seconds(16));
    EXPECT_TRUE(readUtcTime("2022-04-08T13:03:16Z"));
    for (const char* bad : {"2022-02-30T00:00:00Z", "2022-04-08T25:00:00Z", "2022-04-08T13:03:16",
                            "2022-04-08T13:03:16.Z", "2022-04-08T13:03:16.12345678901234567890123Z",
                            "6022-04-08T13:03:16Z", "tomorrow"})
        EXPECT_FALSE(readUtcTime(bad)) << bad;
}

TEST(ApiUrl, RootsLinksAndBaseUrls) {
    std::string error;
    // "+" the root is taken, "-" refused.
    for (const char* root :
         {"+https://api.example.com/api/v1", "+https://api.example.com:8443/x/",
          "+http://127.0.0.1:9/api/v1", "+http://[::1]:9/api/v1", "+http://localhost:9",
          "-http://api.example.com/api/v1", "-http://10.0.0.1/api/v1", "-ftp://127.0.0.1/",
          "-https://user:pw@api.example.com/", "-https://api.example.com/?a=1",
          "-https://api example.com/", "-https://:443/", "-https://api.example.com:99999/",
          "-api.example.com"})
        EXPECT_EQ(parseApiRoot(root + 1, error).has_value(), *root == '+') << root;
    EXPECT_EQ(OnlineConfig().apiUrl, "https://api.opensubtitles.com/api/v1");
    const auto root = *parseApiRoot("https://api.example.com/api/v1/", error);
    const auto loopback = *parseApiRoot("http://127.0.0.1:5000/api/v1", error);
    EXPECT_EQ(root.text(), "https://api.example.com:443/api/v1");
    // "+" the link may be followed, "-" not, under the public root (p) or one on loopback (l),
    // while this service listens on 7000.
    // The address ranges at their edges, IPv4 and IPv6 and IPv4 inside IPv6.
    std::istringstream links(
        "+phttps://dl.example.com/f/1.srt -phttp://dl.example.com/f/1.srt "
        "-phttps://127.0.0.1:7000/x -phttps://localhost/x -phttps://0.0.0.0/x "
        "-phttps://0.255.255.255/x +phttps://1.0.0.0/x +phttps://9.255.255.255/x "
        "-phttps://10.0.0.1/x -phttps://10.255.255.255/x +phttps://11.0.0.0/x "
        "+phttps://100.63.255.255/x -phttps://100.64.0.1/x -phttps://100.127.255.255/x "
        "+phttps://100.128.0.0/x +phttps://126.255.255.255/x -phttps://127.255.0.1/x "
        "+phttps://128.0.0.0/x +phttps://169.253.0.1/x -phttps://169.254.169.254/x "
        "+phttps://169.255.0.1/x +phttps://172.15.255.255/x -phttps://172.16.0.1/x "
        "-phttps://172.31.255.255/x +phttps://172.32.0.0/x +phttps://192.167.1.1/x "
        "-phttps://192.168.0.1/x -phttps://192.168.255.255/x +phttps://192.169.0.0/x "
        "-phttps://[::]/x -phttps://[::1]/x +phttps://[::2]/x -phttps://[fe80::1]/x "
        "-phttps://[febf::1]/x +phttps://[fec0::1]/x -phttps://[fc00::1]/x "
        "-phttps://[fdff::1]/x +phttps://[fe00::1]/x +phttps://[2001:db8::1]/x "
        "-phttps://[::ffff:127.0.0.1]/x -phttps://[::ffff:10.1.2.3]/x "
        "-phttps://[::ffff:0.0.0.0]/x +phttps://[::ffff:8.8.8.8]/x "
        "+lhttp://127.0.0.1:5000/files/1.srt +lhttp://10.0.0.1:5000/files/1.srt "
        "-lhttp://127.0.0.1:7000/Subtitles/Download/1 -lhttp://localhost:7000/x "
        "-lhttp://0.0.0.0:7000/x -lhttp://[::]:7000/x -lhttp://[::ffff:127.0.0.1]:7000/x");
    for (std::string link; links >> link;) {
        std::string reason;
        const auto url = parseHttpUrl(link.substr(2), error);
        ASSERT_TRUE(url) << link;
        EXPECT_EQ(acceptableLink(*url, link[1] == 'l' ? loopback : root, 7000, reason),
                  link[0] == '+')
            << link << " " << reason;
    }
    for (const char* bad : {"file:///etc/passwd", "javascript:alert(1)", "ftp://x/y", "//x/y",
                            "https://a\r\nb/", "data:text/plain,hi"})
        EXPECT_FALSE(parseHttpUrl(bad, error)) << bad;
    // The login moves the key only within the configured database's domain.
    // "BASE URL ANSWERED=the root moved to", nothing when it stays.
    for (const std::string c :
         {"vip-api.example.com=https://vip-api.example.com:443/api/v1",
          "https://VIP.example.com:8443/=https://vip.example.com:8443/api/v1",
          "example.com=https://example.com:443/api/v1", "api.example.com.evil.example=",
          "evilexample.com=", "example.org=", "com=", "127.0.0.1:80=", "bad host!="}) {
        const std::string base = c.substr(0, c.rfind('=')), moved = c.substr(c.rfind('=') + 1);
        EXPECT_EQ(withBaseUrl(root, base).text(), moved.empty() ? root.text() : moved) << base;
    }
    EXPECT_EQ(withBaseUrl(loopback, "api.example.com").text(), loopback.text());
    EXPECT_EQ(withBaseUrl(loopback, "127.0.0.2:6000").text(), loopback.text());
    EXPECT_EQ(withBaseUrl(loopback, "127.0.0.1:6000").text(), "http://127.0.0.1:6000/api/v1");
    const auto bare = *parseApiRoot("https://example.com/v1", error);
    EXPECT_EQ(withBaseUrl(bare, "a.example.com").text(), "https://a.example.com:443/v1");
    EXPECT_EQ(withBaseUrl(bare, "other.com").text(), bare.text());
    EXPECT_EQ(queryEncode("big buck & bunny/é"), "big+buck+%26+bunny%2F%C3%A9");
    // Names only their resolution shows to be this machine are refused at the address connected
    // to, before any connection (the redirects of OnlineClientTest reach one).
    for (const char* link : {"https://127.1/f", "https://2130706433:8443/f"})
        EXPECT_EQ(fetchLink(link, root, 0, {}, nullptr).error,
                  "the link leads to this machine or its network");
}

// Saving from the page, owner-only, and a restart reading it back are in OnlineLookupTest.
TEST(Secrets, LooseModeMendedBadFilesAndKeyFilesRefused) {
    const auto dir = std::filesystem::path(::testing::TempDir()) /
                     ("lirra-secrets-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / kSecretsFileName, keyFile = dir / "key";
    std::string error;
    ASSERT_EQ(saveSecrets(dir.string(), {"abcDEF123", "learner", "pass \"word\" é"}), "");
    ::chmod(file.c_str(), 0644);
    EXPECT_EQ(loadSecrets(dir.string(), error).value_or(Secrets()).password, "pass \"word\" é");
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info) == 0 ? info.st_mode & 0777 : 0, 0600u);
    for (const char* bad :
         {"not json", R"({"key":"has space"})", R"({"key":5})", R"({"password":"a\u0001b"})"}) {
        std::ofstream(file) << bad;
        EXPECT_FALSE(loadSecrets(dir.string(), error)) << bad;
    }
    std::ofstream(keyFile) << "  k3yValue \nsecond line\n";
    EXPECT_EQ(readKeyFile(keyFile.string(), error).value_or("-"), "k3yValue");
    for (const std::string& bad : {std::string("\n"), std::string(300, 'k')}) {
        std::ofstream(keyFile) << bad;
        EXPECT_FALSE(readKeyFile(keyFile.string(), error));
    }
    EXPECT_FALSE(readKeyFile((dir / "missing").string(), error));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lirra::server::online
