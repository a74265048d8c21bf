// SPDX-License-Identifier: GPL-3.0-or-later
// Notebook items sent through the service to a fake AnkiConnect: the deck, note type, notes and
// media as Anki takes them; every way Anki fails, after which nothing is half-added or half-sent.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

#include "NotebookFixture.h"
#include "notebook/AnkiConnect.h"
#include "notebook/AnkiNote.h"
#include "notebook/MediaClip.h"

namespace lirra::server::test {
namespace {

using AnkiExportTest = NotebookFixture;
using Strings = std::vector<std::string>;

// A media file named as Anki keeps it.
const std::regex kMediaName(R"(lirra-\d+-[0-9a-f]{16}\.(?:jpg|mp3))");

TEST_F(AnkiExportTest, MakesTheDeckAndNoteTypeOnceAndAddsCardsWithPictureAndSound) {
    ankiKey_ = anki_.requiredKey = "sesame";
    restartServer();
    const auto film = rampInLibrary("Ramp.mkv");
    ASSERT_NE(film, 0);
    const auto stream = lookupJson("Stream.mp4", "0", "0")["videoId"];  // from a web address
    const std::string text = "Hello <b>there</b> & \"you're\"";
    // A fresh notebook numbers its items from 1.
    ASSERT_EQ(save(film, 1000, 2500, text, {{"translation", "Hola\ttú"}}), 1);
    save(film, 1000, 2500, text, {{"word", "hello"}, {"definition", "a greeting"}});
    save(stream, 0, 900, "From the web");
    save(film, 5800, 7400, "At the end");  // its middle (6.6 s) past the video's end; not its start
    // The service finds the file in the background after the lookup.
    const std::string path = std::filesystem::canonical(libraryDir_ + "/Ramp.mkv");
    EXPECT_EQ(eventually([&] { return list(); },
                         [](const json& i) { return !i.back()["videoFile"].is_null(); })
                  .back()["videoFile"],
              path);

    EXPECT_EQ(send({1, 2, 3, 4}),
              json::parse(R"({"added": 4, "duplicates": 0, "failed": [], "withoutMedia": [)"
                          R"({"id": 3, "reason": "no picture or sound: the video's file was not )"
                          R"J(found in a library folder (a video played from a web address has )J"
                          R"J(none)"}, {"id": 4, "reason": "no picture: the line is past the end )J"
                          R"(of the video"}]})"));
    Strings actions = {"version", "deckNames", "createDeck", "modelNames", "createModel"};
    for (int i = 0; i < 4; ++i) actions.insert(actions.end(), {"findNotes", "addNote"});
    EXPECT_EQ(anki_.actions(), actions);
    // The deck, the note type's name and fields, the search for an item and the note as sent.
    const auto requests = anki_.requests();
    json note = requests[6]["params"]["note"];
    for (const char* part : {"fields", "picture", "audio"}) note.erase(part);
    EXPECT_EQ(json({requests[2]["params"], requests[4]["params"]["modelName"],
                    requests[4]["params"]["inOrderFields"], requests[5]["params"], note}),
              json::parse(R"([{"deck": "Lirra"}, "Lirra", ["Key", "Word", "Sentence",
        "Translation", "Definition", "Picture", "Audio", "Source"],
        {"query": "\"note:Lirra\" \"Key:lirra-1\""}, {"deckName": "Lirra", "modelName": "Lirra",
        "options": {"allowDuplicate": false}, "tags": ["lirra"]}])"));

    // Each note's fields in the note type's order, its media in them as Anki puts them (as the
    // start of a file's name).
    ASSERT_EQ(anki_.notes.size(), 4u);
    std::string notes;
    for (auto note : anki_.notes) {
        for (const char* kind : {"picture", "audio"}) {
            for (const auto& m : note.value(kind, json::array())) {
                const std::string name = m["filename"];
                EXPECT_TRUE(std::regex_match(name, kMediaName)) << name;
                for (const auto& field : m["fields"]) note["fields"][field] = name.substr(0, 8);
            }
        }
        EXPECT_EQ(note["fields"].size(), 8u) << note["fields"];
        for (const auto& field : notebook::ankiFields())
            notes += note["fields"][field].get<std::string>() + "|";
        notes += "\n";
    }
    const std::string said = "Hello &lt;b&gt;there&lt;/b&gt; &amp; &quot;you're&quot;";
    EXPECT_EQ(notes, "lirra-1||" + said + "|Hola tú||lirra-1-|lirra-1-|Ramp.mkv, 0:01|\n" +
                         "lirra-2|hello|" + said +
                         "||a greeting|lirra-2-|lirra-2-|Ramp.mkv, 0:01|\n" +
                         "lirra-3||From the web|||||Stream.mp4, 0:00|\n"
                         "lirra-4||At the end||||lirra-4-|Ramp.mkv, 0:05|\n");
    // The picture: the frame at the line's middle (1.75 s), a full-range JPEG FFmpeg decodes.
    double luma = 0;
    EXPECT_EQ(grayPixels(anki_.notes[0]["picture"][0]["data"], &luma), 320u * 240u);
    EXPECT_NEAR(luma, (40 * 1.75 + 4) * 255 / 219, 5);  // the ramp's, with 4 of noise on average
    // The sound: the line with 250 ms either side, an MP3 of the tone FFmpeg decodes.
    const auto tone = samples(anki_.notes[0]["audio"][0]["data"]);
    EXPECT_NEAR(tone.size() / 8000.0, 2.0, 0.05);
    double energy = 0;
    for (auto s : tone) energy += static_cast<double>(s) * s;
    EXPECT_GT(std::sqrt(energy / std::max<std::size_t>(1, tone.size())), 1000);
    for (const auto& item : list()) EXPECT_TRUE(item["sent"].get<bool>()) << item;

    // The clips' own bounds: a long line's sound is cut, a picture scaled to the width allowed.
    const notebook::ClipLimits limits{.maxWidth = 160, .maxSoundMs = 1500};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const auto cut = samples(notebook::base64(notebook::soundMp3(fd, 1000, 5000, limits).bytes));
    EXPECT_NEAR(cut.size() / 8000.0, 1.5, 0.05);
    EXPECT_EQ(grayPixels(notebook::base64(notebook::frameJpeg(fd, 1000, limits).bytes)),
              160u * 120u);
    ::close(fd);

    // Again: what was sent is never sent twice, and Anki is not even asked.
    anki_.http.clearRequests();
    EXPECT_EQ(send({1, 2, 3, 4}).dump(),
              R"({"added":0,"duplicates":4,"failed":[],"withoutMedia":[]})");
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
    for (int at : {1000, 3000, 5000}) save(film, at, at + 1000, "Line " + std::to_string(at));
    auto sent = [&] {
        std::string ids;
        for (const auto& item : list()) ids += item["sent"].get<bool>() ? item["id"].dump() : "";
        return ids;
    };
    // With the deck and note type there already, they are only checked; an item Anki has is
    // marked sent and not added again.
    anki_.decks = {"Default", "Lirra"};
    anki_.models["Lirra"] = notebook::ankiFields();
    anki_.notes.push_back({{"id", 1}, {"fields", {{"Key", "lirra-1"}}}});
    EXPECT_EQ(send({1, 4242}).dump(), R"({"added":0,"duplicates":1,"failed":[{"error":"no such )"
                                      R"(item in the notebook","id":4242}],"withoutMedia":[]})");
    EXPECT_EQ(anki_.actions(),
              Strings({"version", "deckNames", "modelNames", "modelFieldNames", "findNotes"}));
    EXPECT_EQ(sent(), "1");

    // How Anki answers instead of itself.
    auto answering = [&](int status, std::string body) {
        return [=, this] {
            anki_.http.intercept("/", [=](const httplib::Request&, httplib::Response& res) {
                res.status = status;
                res.set_content(body, body[0] == '{' ? "application/json" : "text/html");
                return true;
            });
        };
    };
    const std::pair<std::function<void()>, const char*> rows[] = {
        {answering(200, "<html><h1>It works!</h1></html>"), "is not AnkiConnect"},
        {answering(500, "busy"), "answered HTTP 500"},
        {answering(200, R"({"result": null, "error": "collection is not available"})"),
         "refused version: collection is not available"},
        {answering(200, R"({"result": 5, "error": null})"), "speaks version 5, Lirra needs 6"},
        {[&] { anki_.requiredKey = "sesame"; }, "valid api key must be provided"},
        {[&] {
             anki_.models["Lirra"] = {"Front", "Back"};
         },
         "“Lirra” with other fields"},
    };
    for (const auto& [misbehave, says] : rows) {
        anki_.reset();
        misbehave();
        const json report = send({2, 3});
        const std::string error = report.value("error", "");
        EXPECT_NE(error.find(says), std::string::npos) << report;
        EXPECT_EQ(report["failed"],
                  json::array({{{"id", 2}, {"error", error}}, {{"id", 3}, {"error", error}}}));
        for (const auto& action : anki_.actions()) EXPECT_NE(action, "addNote") << says;
    }
    EXPECT_EQ(sent(), "1");

    // Anki refuses one note: the others go on, the refused one stays to be sent later.
    anki_.reset();
    anki_.refuseAddWithKey = "lirra-2";
    const json report = send({2, 3});
    EXPECT_EQ(json({report["added"], report["failed"], report.contains("error")}),
              json::parse(R"([1, [{"id": 2, "error": "AnkiConnect refused addNote: this note )"
                          R"(is refused"}], false])"));
    EXPECT_EQ(sent(), "31");  // newest first
}

// A hung Anki holds up only the sending that waits on it: another goes through meanwhile, and an
// item both ask for is added once.
TEST_F(AnkiExportTest, AHungAnkiHoldsUpOnlyItsOwnSending) {
    const auto film = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    const std::int64_t a = save(film, 1000, 2000, "One"), b = save(film, 3000, 4000, "Two");
    std::atomic<int> calls{0};
    std::atomic<bool> release{false}, firstDone{false};
    anki_.http.intercept("/", [&](const httplib::Request&, httplib::Response&) {
        if (calls++ == 0) {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    });
    json first;
    std::thread hung([&] { first = send({a}), firstDone = true; });
    while (calls == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const json second = send({a, b});
    EXPECT_FALSE(firstDone);
    release = true;
    hung.join();
    anki_.http.intercept("/", nullptr);
    EXPECT_EQ(second["failed"],
              json::parse(R"([{"id": )" + std::to_string(a) +
                          R"(, "error": "this item is being sent to Anki already"}])"));
    EXPECT_EQ(json({first["added"], second["added"], anki_.notes.size()}), json({1, 1, 2}));
}

// Anki silent or absent: each call is bounded as a whole and says what the learner can do.
TEST(AnkiConnectTest, SilenceAndAbsenceEndInOneSentence) {
    FakeAnki slow;
    slow.http.intercept("/", [](const httplib::Request&, httplib::Response&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return false;
    });
    const std::pair<std::string, const char*> cases[] = {
        {slow.url(), "did not answer within 1 s (version)"},
        {"http://127.0.0.1:1", "Anki is not running"},  // nothing listens on port 1
        {"ftp://127.0.0.1/", "is unusable"}};
    for (const auto& [url, says] : cases) {
        notebook::AnkiError error;
        notebook::AnkiConnect anki({url, "", std::chrono::milliseconds(300)});
        EXPECT_FALSE(anki.call("version", nullptr, error));
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
