// Sending notebook items through the service to a fake AnkiConnect that records every action: the
// deck and note type made only when missing, each item looked for before it is added, the note
// as AnkiConnect takes it, a picture and a sound FFmpeg decodes back; every way Anki can fail,
// after which nothing is half-added and nothing is marked sent that is not in Anki; the clips'
// own bounds and the texts of a card.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>

#include "NotebookFixture.h"
#include "notebook/AnkiConnect.h"
#include "notebook/AnkiNote.h"
#include "notebook/MediaClip.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;
using Actions = std::vector<std::string>;
using AnkiExportTest = NotebookFixture;

// The file name a field shows its media by ("<img src=…>", "[sound:…]"); empty if it shows none.
std::string mediaIn(const std::string& field, const char* pattern) {
    std::smatch match;
    return std::regex_match(field, match, std::regex(pattern)) ? match[1].str() : std::string();
}

TEST_F(AnkiExportTest, MakesTheDeckAndNoteTypeOnceAndAddsCardsWithPictureAndSound) {
    ankiKey_ = anki_.requiredKey = "sesame";
    restartServer();
    const auto film = rampInLibrary("Ramp.mkv");
    ASSERT_NE(film, 0);
    const auto stream = lookupJson("Stream.mp4", "0", "0")["videoId"];  // from a web address
    const std::string text = "Hello <b>there</b> & \"you\"";
    const auto line = save(film, 1000, 2500, text, {{"translation", "Hola\ttú"}});
    const auto word =
        save(film, 1000, 2500, text, {{"word", "hello"}, {"definition", "a greeting"}});
    const auto web = save(stream, 0, 900, "From the web");
    // The line's middle (6.6 s) is past the 6-second video's end; its start is not.
    const auto late = save(film, 5800, 7400, "At the end");
    // The service finds the file in the background after the lookup.
    const std::string path = std::filesystem::canonical(libraryDir_ + "/Ramp.mkv");
    EXPECT_EQ(eventually([&] { return list(); },
                         [](const json& i) { return !i.back()["videoFile"].is_null(); })
                  .back()["videoFile"],
              path);

    EXPECT_EQ(
        send({line, word, web, late}),
        json(
            {{"added", 4},
             {"duplicates", 0},
             {"failed", json::array()},
             {"withoutMedia",
              {{{"id", web},
                {"reason",
                 "no picture or sound: the video's file was not found in a library folder "
                 "(a video played from a web address has none)"}},
               {{"id", late}, {"reason", "no picture: the line is past the end of the video"}}}}}));
    Actions actions = {"version", "deckNames", "createDeck", "modelNames", "createModel"};
    for (int i = 0; i < 4; ++i) actions.insert(actions.end(), {"findNotes", "addNote"});
    EXPECT_EQ(anki_.actions(), actions);
    const auto requests = anki_.requests();
    EXPECT_EQ(requests[2]["params"], json({{"deck", "Lirra"}}));
    EXPECT_EQ(requests[4]["params"]["modelName"], "Lirra");
    EXPECT_EQ(requests[4]["params"]["inOrderFields"], json(notebook::ankiFields()));
    EXPECT_EQ(requests[5]["params"]["query"],
              "\"note:Lirra\" \"Key:lirra-" + std::to_string(line) + "\"");
    json note = requests[6]["params"]["note"];
    for (const char* part : {"fields", "picture", "audio"}) note.erase(part);
    EXPECT_EQ(note, json({{"deckName", "Lirra"},
                          {"modelName", "Lirra"},
                          {"options", {{"allowDuplicate", false}}},
                          {"tags", {"lirra"}}}));

    ASSERT_EQ(anki_.notes.size(), 4u);
    auto fields = anki_.notes[0].fields;
    const auto picture =
        mediaIn(fields["Picture"], "<img src=\"(lirra-\\d+-[0-9a-f]{16}\\.jpg)\">");
    const auto sound = mediaIn(fields["Audio"], "\\[sound:(lirra-\\d+-[0-9a-f]{16}\\.mp3)\\]");
    fields.erase("Picture"), fields.erase("Audio");
    EXPECT_EQ(fields, (std::map<std::string, std::string>{
                          {"Key", "lirra-" + std::to_string(line)},
                          {"Word", ""},
                          {"Sentence", "Hello &lt;b&gt;there&lt;/b&gt; &amp; &quot;you&quot;"},
                          {"Translation", "Hola tú"},
                          {"Definition", ""},
                          {"Source", "Ramp.mkv, 0:01"}}));
    EXPECT_EQ(
        anki_.notes[0].deck + anki_.notes[1].fields["Word"] + anki_.notes[1].fields["Definition"],
        "Lirrahelloa greeting");
    EXPECT_EQ(anki_.notes[2].fields["Picture"] + anki_.notes[2].fields["Audio"], "");
    EXPECT_EQ(anki_.notes[3].fields["Picture"], "");
    EXPECT_NE(anki_.notes[3].fields["Audio"], "");
    // The picture: the frame at the line's middle (1.75 s), a JPEG FFmpeg decodes.
    double luma = 0;
    EXPECT_EQ(grayPixels(anki_.media[picture], &luma), 320u * 240u) << picture;
    EXPECT_NEAR(luma, rampLuma(1750), 5);
    // The sound: the line with 250 ms either side, an MP3 of the tone FFmpeg decodes.
    const auto tone = samples(anki_.media[sound]);
    EXPECT_NEAR(tone.size() / 8000.0, 2.0, 0.05) << sound;
    double energy = 0;
    for (auto s : tone) energy += static_cast<double>(s) * s;
    EXPECT_GT(std::sqrt(energy / std::max<std::size_t>(1, tone.size())), 1000);
    for (const auto& item : list()) EXPECT_TRUE(item["sent"].get<bool>()) << item;

    // The clips' own bounds: a long line's sound is cut, a picture scaled to the width allowed.
    notebook::ClipLimits limits;
    limits.maxSoundMs = 1500;
    limits.maxWidth = 160;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_NEAR(samples(notebook::soundMp3(fd, 1000, 5000, limits).bytes).size() / 8000.0, 1.5,
                0.05);
    EXPECT_EQ(grayPixels(notebook::frameJpeg(fd, 1000, limits).bytes), 160u * 120u);
    ::close(fd);

    // Again: what was sent is never sent twice, and Anki is not even asked.
    anki_.http.clearRequests();
    const json again = send({line, word, web, late});
    EXPECT_EQ(again["added"], 0);
    EXPECT_EQ(again["duplicates"], 4);
    EXPECT_TRUE(anki_.actions().empty());
    // The video deleted since it was found: the card goes without media, and says why.
    std::filesystem::remove(path);
    const json gone = send({save(film, 1000, 2000, "Gone")});
    EXPECT_EQ(gone["added"], 1);
    EXPECT_NE(gone["withoutMedia"][0]["reason"].get<std::string>().find("gone or has changed"),
              std::string::npos)
        << gone;
}

TEST_F(AnkiExportTest, WhatAnkiHasOrRefusesIsNeverAddedTwiceOrHalf) {
    const auto film = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    const auto a = save(film, 1000, 2000, "One"), b = save(film, 3000, 4000, "Two");
    auto sent = [&] {
        std::set<std::int64_t> ids;
        for (const auto& item : list()) {
            if (item["sent"].get<bool>()) ids.insert(item["id"].get<std::int64_t>());
        }
        return ids;
    };
    auto added = [&] {
        const auto actions = anki_.actions();
        return std::count(actions.begin(), actions.end(), "addNote");
    };
    // With the deck and note type there already, they are only checked; an item Anki has is
    // marked sent and not added again.
    anki_.decks = {"Default", "Lirra"};
    anki_.models["Lirra"] = notebook::ankiFields();
    anki_.notes.push_back({1, "Lirra", "Lirra", {{"Key", notebook::ankiKey(a)}}});
    json report = send({a, 4242});
    EXPECT_EQ(report["added"], 0);
    EXPECT_EQ(report["duplicates"], 1);
    EXPECT_EQ(report["failed"],
              json::array({{{"id", 4242}, {"error", "no such item in the notebook"}}}));
    EXPECT_EQ(anki_.actions(),
              (Actions{"version", "deckNames", "modelNames", "modelFieldNames", "findNotes"}));
    EXPECT_EQ(sent(), std::set<std::int64_t>{a});

    const auto c = save(film, 5000, 6000, "Three");
    const struct {
        const char* what;
        std::function<void(FakeAnki&)> misbehave;
        const char* says;
    } rows[] = {
        {"HTML", [](auto& f) { f.answerHtml = true; }, "is not AnkiConnect"},
        {"HTTP error", [](auto& f) { f.httpStatus = 500; }, "answered HTTP 500"},
        {"refusing", [](auto& f) { f.refuseAll = "collection is not available"; },
         "refused version: collection is not available"},
        {"wanting a key", [](auto& f) { f.requiredKey = "sesame"; },
         "valid api key must be provided"},
        {"an older AnkiConnect",
         [](auto& f) {
             f.http.intercept("/", [](const httplib::Request&, httplib::Response& res) {
                 res.set_content(R"({"result": 5, "error": null})", "application/json");
                 return true;
             });
         },
         "speaks version 5, Lirra needs 6"},
        {"a note type of another shape",
         [](auto& f) {
             f.models["Lirra"] = {"Front", "Back"};
         },
         "note type named “Lirra” with other fields"},
    };
    for (const auto& row : rows) {
        anki_.reset();
        row.misbehave(anki_);
        report = send({b, c});
        anki_.http.intercept("/", nullptr);
        const std::string error = report.value("error", "");
        EXPECT_NE(error.find(row.says), std::string::npos) << row.what << ": " << report;
        ASSERT_EQ(report["failed"].size(), 2u) << row.what;
        EXPECT_EQ(report["failed"][1], json({{"id", c}, {"error", error}})) << row.what;
        EXPECT_EQ(report["added"], 0) << row.what;
        EXPECT_TRUE(anki_.notes.empty()) << row.what;
        EXPECT_EQ(added(), 0) << row.what;
    }
    EXPECT_EQ(sent(), std::set<std::int64_t>{a});

    // Anki refuses one note: the others go on, the refused one stays to be sent later.
    anki_.reset();
    anki_.refuseAddWithKey = notebook::ankiKey(b);
    report = send({b, c});
    EXPECT_FALSE(report.contains("error"));
    EXPECT_EQ(report["added"], 1);
    ASSERT_EQ(report["failed"].size(), 1u);
    EXPECT_EQ(report["failed"][0]["id"], b);
    EXPECT_NE(report["failed"][0]["error"].get<std::string>().find("this note is refused"),
              std::string::npos);
    EXPECT_EQ(sent(), (std::set<std::int64_t>{a, c}));
}

// Anki silent or absent: each call is bounded as a whole and says what the learner can do.
TEST(AnkiConnectTest, SilenceAndAbsenceEndInOneSentence) {
    FakeAnki slow;
    slow.delayMs = 1500;
    std::string closed;
    {
        FakeAnki gone;
        closed = gone.url();
    }
    const std::pair<notebook::AnkiSettings, const char*> cases[] = {
        {{slow.url(), "", std::chrono::milliseconds(300)}, "did not answer within 1 s (version)"},
        {{closed, "", std::chrono::milliseconds(300)}, "Anki is not running"},
        {{"ftp://127.0.0.1/", "", std::chrono::milliseconds(300)}, "is unusable"},
    };
    for (const auto& [settings, says] : cases) {
        notebook::AnkiError error;
        EXPECT_FALSE(notebook::AnkiConnect(settings).call("version", nullptr, error));
        EXPECT_NE(error.message.find(says), std::string::npos) << error.message;
        EXPECT_FALSE(error.refused);
    }
    // Where AnkiConnect listens unless told otherwise.
    EXPECT_EQ(notebook::AnkiSettings().url, "http://127.0.0.1:8765");
}

TEST(AnkiNoteTest, ClockTextsAndBase64AsAnkiReadsThem) {
    const std::pair<std::int64_t, const char*> clocks[] = {
        {0, "0:00"},          {59999, "0:59"},      {61000, "1:01"},        {3599999, "59:59"},
        {3600000, "1:00:00"}, {3723000, "1:02:03"}, {36000000, "10:00:00"},
    };
    for (const auto& [ms, text] : clocks) EXPECT_EQ(notebook::clockText(ms), text) << ms;
    // RFC 4648's test vectors: the prefixes of "foobar".
    const char* encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (std::size_t n = 0; n <= 6; ++n) {
        EXPECT_EQ(notebook::base64(std::string("foobar", n)), encoded[n]) << n;
    }
    EXPECT_EQ(notebook::base64(std::string("\xff\xfe\x00", 3)), "//4A");
}

}  // namespace
}  // namespace lirra::server::test
