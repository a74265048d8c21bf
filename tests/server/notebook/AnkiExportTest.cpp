// Sending notebook items to a fake AnkiConnect on loopback that records every action: the deck
// and note type made only when missing, each item looked for before it is added, the fields,
// a picture and a sound FFmpeg decodes back; and every way Anki can fail, after which nothing
// is half-added and nothing is marked sent that is not in Anki.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <regex>

#include "FakeAnki.h"
#include "NotebookMedia.h"
#include "NotebookStoreFixture.h"
#include "notebook/AnkiNote.h"
#include "notebook/Notebook.h"
#include "store/SqliteStore.h"

namespace lirra::server {
namespace {

using nlohmann::json;
using Actions = std::vector<std::string>;

class AnkiExportTest : public test::NotebookStoreFixture {
  protected:
    std::unique_ptr<notebook::Notebook> notebook(std::string url, std::string key = {}) {
        notebook::AnkiSettings settings{std::move(url), std::move(key),
                                        std::chrono::milliseconds(800)};
        return std::make_unique<notebook::Notebook>(
            *store_, [] { return std::vector<std::string>(); }, settings);
    }

    // The ramp video, looked up and found where the container source would have found it.
    std::int64_t foundVideo() {
        const auto ramp = test::makeRampVideo(media_, "Ramp.mkv");
        EXPECT_FALSE(ramp.path.empty());
        const auto id = video("Ramp.mkv", ramp.hash, ramp.size);
        std::string error;
        EXPECT_EQ(store_->rememberVideoFile(id, {ramp.path, ramp.size, ramp.mtimeNs, true}, error),
                  StoreStatus::Ok);
        return id;
    }

    bool sent(std::int64_t id) { return item(id).sentMs != 0; }
};

TEST_F(AnkiExportTest, MakesTheDeckAndNoteTypeOnceAndAddsCardsWithPictureAndSound) {
    const auto film = foundVideo();
    const auto elsewhere = video("Stream.mp4", "0", 0);  // played from a web address
    const auto line = save({film, 1000, 2500, "Hello <b>there</b> & \"you\"", "Hola\ttú", "", ""});
    const auto word =
        save({film, 1000, 2500, "Hello <b>there</b> & \"you\"", "Hola", "hello", "a greeting"});
    const auto url = save({elsewhere, 0, 900, "From the web", "", "", ""});
    test::FakeAnki anki;
    auto nb = notebook(anki.url(), "sesame");
    anki.requiredKey = "sesame";

    const auto report = nb->sendToAnki({line, word, url});
    EXPECT_EQ(report.added, 3);
    EXPECT_EQ(report.duplicates, 0);
    EXPECT_TRUE(report.failed.empty()) << report.failed.front().text;
    EXPECT_EQ(report.error, "");
    ASSERT_EQ(report.withoutMedia.size(), 1u);
    EXPECT_EQ(report.withoutMedia[0].id, url);
    EXPECT_NE(report.withoutMedia[0].text.find("web address"), std::string::npos);
    EXPECT_EQ(anki.actions(),
              (Actions{"version", "deckNames", "createDeck", "modelNames", "createModel",
                       "findNotes", "addNote", "findNotes", "addNote", "findNotes", "addNote"}));
    EXPECT_EQ(anki.requests()[5]["params"]["query"], "\"note:Lirra\" \"Key:lirra-1\"");
    EXPECT_EQ(anki.requests()[4]["params"]["inOrderFields"], json(notebook::ankiFields()));

    const auto notes = anki.notes;
    ASSERT_EQ(notes.size(), 3u);
    const auto& first = notes[0].fields;
    EXPECT_EQ(notes[0].deck, "Lirra");
    EXPECT_EQ(first.at("Key"), "lirra-" + std::to_string(line));
    EXPECT_EQ(first.at("Sentence"), "Hello &lt;b&gt;there&lt;/b&gt; &amp; &quot;you&quot;");
    EXPECT_EQ(first.at("Translation"), "Hola tú");
    EXPECT_EQ(first.at("Word"), "");
    EXPECT_EQ(first.at("Source"), "Ramp.mkv, 0:01");
    EXPECT_EQ(notes[1].fields.at("Word"), "hello");
    EXPECT_EQ(notes[1].fields.at("Definition"), "a greeting");
    EXPECT_EQ(notes[2].fields.at("Picture"), "");
    EXPECT_EQ(notes[2].fields.at("Audio"), "");

    // The picture: the frame at the line's middle (1.75 s), a JPEG FFmpeg decodes.
    std::smatch match;
    const std::string picture = first.at("Picture");
    ASSERT_TRUE(
        std::regex_match(picture, match, std::regex("<img src=\"(lirra-1-[0-9a-f]{16}\\.jpg)\">")))
        << picture;
    const auto pixels = test::decodeGray(media_, anki.media.at(match[1]));
    ASSERT_EQ(pixels.size(), 320u * 240u);
    double sum = 0;
    for (auto p : pixels) sum += p;
    EXPECT_NEAR(sum / pixels.size(), test::rampLuma(1750), 5);

    // The sound: the line with 250 ms either side, an MP3 of the tone FFmpeg decodes.
    const std::string audio = first.at("Audio");
    ASSERT_TRUE(
        std::regex_match(audio, match, std::regex("\\[sound:(lirra-1-[0-9a-f]{16}\\.mp3)\\]")))
        << audio;
    const auto samples = test::decodeMono8k(media_, anki.media.at(match[1]));
    EXPECT_NEAR(samples.size() / 8000.0, 2.0, 0.05);
    double energy = 0;
    for (auto s : samples) energy += static_cast<double>(s) * s;
    EXPECT_GT(std::sqrt(energy / std::max<std::size_t>(1, samples.size())), 1000);
    EXPECT_TRUE(sent(line) && sent(word) && sent(url));

    // Again: what was sent is never sent twice, and Anki is not even asked.
    anki.forget();
    const auto again = nb->sendToAnki({line, word, url});
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.duplicates, 3);
    EXPECT_TRUE(anki.actions().empty());
}

TEST_F(AnkiExportTest, ACardWithoutPartOfItsMediaSaysWhy) {
    const auto film = foundVideo();
    test::FakeAnki anki;
    auto nb = notebook(anki.url());
    // The line's middle (6.6 s) is past the 6-second video's end; its start is not.
    const auto late = save({film, 5800, 7400, "At the end", "", "", ""});
    auto report = nb->sendToAnki({late});
    EXPECT_EQ(report.added, 1);
    ASSERT_EQ(report.withoutMedia.size(), 1u);
    EXPECT_EQ(report.withoutMedia[0].text, "no picture: the line is past the end of the video");
    ASSERT_EQ(anki.notes.size(), 1u);
    EXPECT_EQ(anki.notes[0].fields.at("Picture"), "");
    EXPECT_NE(anki.notes[0].fields.at("Audio"), "");

    // The video deleted since it was found.
    std::filesystem::remove(media_.file("Ramp.mkv"));
    const auto gone = save({film, 1000, 2000, "Gone", "", "", ""});
    report = nb->sendToAnki({gone});
    EXPECT_EQ(report.added, 1);
    ASSERT_EQ(report.withoutMedia.size(), 1u);
    EXPECT_NE(report.withoutMedia[0].text.find("gone or has changed"), std::string::npos)
        << report.withoutMedia[0].text;
}

// With the deck and note type there already: only checked (the fake refuses a second note type of
// the same name).
TEST_F(AnkiExportTest, AnItemAnkiHasAlreadyIsMarkedNotAddedAgain) {
    const auto film = video("Film.mkv");
    const auto id = save({film, 1000, 2000, "Once", "", "", ""});
    test::FakeAnki anki;
    anki.decks = {"Default", "Lirra"};
    anki.models["Lirra"] = notebook::ankiFields();
    anki.notes.push_back({1, "Lirra", "Lirra", {{"Key", notebook::ankiKey(id)}}});
    const auto report = notebook(anki.url())->sendToAnki({id, 4242});
    EXPECT_EQ(report.added, 0);
    EXPECT_EQ(report.duplicates, 1);
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].id, 4242);
    EXPECT_EQ(anki.notes.size(), 1u);
    EXPECT_TRUE(sent(id));
    for (const auto& action : anki.actions()) EXPECT_NE(action, "addNote");
}

TEST_F(AnkiExportTest, FailuresSayWhyAndLeaveEverythingUnsent) {
    const auto film = video("Film.mkv");
    const auto a = save({film, 1000, 2000, "One", "", "", ""});
    const auto b = save({film, 3000, 4000, "Two", "", "", ""});
    struct Row {
        const char* what;
        std::function<void(test::FakeAnki&)> misbehave;
        std::string key;  // what the notebook sends
        const char* says;
    };
    const Row rows[] = {
        {"slow", [](auto& f) { f.delayMs = 2000; }, "", "did not answer within 1 s"},
        {"HTML", [](auto& f) { f.answerHtml = true; }, "", "is not AnkiConnect"},
        {"HTTP error", [](auto& f) { f.httpStatus = 500; }, "", "answered HTTP 500"},
        {"refusing", [](auto& f) { f.refuseAll = "collection is not available"; }, "",
         "refused version: collection is not available"},
        {"wrong key", [](auto& f) { f.requiredKey = "sesame"; }, "open sesame",
         "valid api key must be provided"},
        {"a note type of another shape",
         [](auto& f) {
             f.models["Lirra"] = {"Front", "Back"};
         },
         "", "note type named “Lirra” with other fields"},
    };
    for (const auto& row : rows) {
        test::FakeAnki anki;
        row.misbehave(anki);
        const auto report = notebook(anki.url(), row.key)->sendToAnki({a, b});
        EXPECT_NE(report.error.find(row.says), std::string::npos)
            << row.what << ": " << report.error;
        ASSERT_EQ(report.failed.size(), 2u) << row.what;
        EXPECT_EQ(report.failed[1].text, report.error) << row.what;
        EXPECT_EQ(report.added, 0) << row.what;
        EXPECT_TRUE(anki.notes.empty()) << row.what;
        EXPECT_FALSE(sent(a) || sent(b)) << row.what;
        for (const auto& action : anki.actions()) EXPECT_NE(action, "addNote") << row.what;
    }

    // Nothing answers at all.
    std::string closed;
    {
        test::FakeAnki gone;
        closed = gone.url();
    }
    const auto report = notebook(closed)->sendToAnki({a, b});
    EXPECT_NE(report.error.find("Anki is not running"), std::string::npos) << report.error;
    EXPECT_EQ(report.failed.size(), 2u);

    // Anki refuses one note: the others go on, the refused one stays to be sent later.
    test::FakeAnki picky;
    picky.refuseAddWithKey = notebook::ankiKey(a);
    const auto partly = notebook(picky.url())->sendToAnki({a, b});
    EXPECT_EQ(partly.error, "");
    EXPECT_EQ(partly.added, 1);
    ASSERT_EQ(partly.failed.size(), 1u);
    EXPECT_EQ(partly.failed[0].id, a);
    EXPECT_NE(partly.failed[0].text.find("this note is refused"), std::string::npos);
    EXPECT_FALSE(sent(a));
    EXPECT_TRUE(sent(b));
}

}  // namespace
}  // namespace lirra::server
