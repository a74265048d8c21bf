// The notebook's API over real HTTP: saving once, the list with its search, deleting, bad input,
// the text export read back, and a card sent to a fake AnkiConnect for a video the service
// found in its library folder.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "FakeAnki.h"
#include "NotebookMedia.h"
#include "lirra/server/Server.h"

namespace lirra::server {
namespace {

using nlohmann::json;

class NotebookHttpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(media_.file("lib"));
        ServerOptions options;
        options.dataDirectory = media_.file("data");
        options.libraryFolders = {media_.file("lib")};
        options.ankiUrl = anki_.url();
        server_ = std::make_unique<Server>(options);
        ASSERT_EQ(server_->start(), "");
    }

    httplib::Client client() const { return httplib::Client("127.0.0.1", server_->port()); }

    std::int64_t lookup(const std::string& name, const std::string& hash, std::uint64_t size) {
        const std::string form =
            "fileSize=" + std::to_string(size) + "&movieHash=" + hash + "&fileName=" + name;
        auto res = client().Post("/Player/GetSubtitlesToDownload", form,
                                 "application/x-www-form-urlencoded");
        EXPECT_TRUE(res && res->status == 200);
        return res ? json::parse(res->body).value("videoId", 0LL) : 0;
    }

    httplib::Result post(const std::string& path, const json& body) {
        return client().Post(path, body.dump(), "application/json");
    }

    json list(const std::string& query = "") {
        auto res = client().Get("/api/notebook" + query);
        EXPECT_TRUE(res && res->status == 200);
        return res ? json::parse(res->body)["items"] : json();
    }

    test::MediaFolder media_;
    test::FakeAnki anki_;
    std::unique_ptr<Server> server_;
};

TEST_F(NotebookHttpTest, SavesOnceListsSearchesDeletesAndExports) {
    const auto video = lookup("Film.mkv", "8a3f2c", 734003200);
    const json line = {{"videoId", video},
                       {"startMs", 61000},
                       {"endMs", 62500},
                       {"text", "Hello\tthere, <i>friend</i>"},
                       {"translation", "Hola\namigo"}};
    auto first = post("/api/notebook", line);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 201);
    const auto id = json::parse(first->body)["id"].get<std::int64_t>();
    auto again = post("/api/notebook", line);
    EXPECT_EQ(again->status, 200);
    EXPECT_EQ(json::parse(again->body)["id"], id);
    json word = line;
    word["word"] = "friend";
    word["definition"] = "a person you know well";
    const auto wordId = json::parse(post("/api/notebook", word)->body)["id"].get<std::int64_t>();

    const json items = list();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]["id"], wordId);                          // newest first
    EXPECT_EQ(items[1]["text"], "Hello there, <i>friend</i>");  // a tab is a space; markup is text
    EXPECT_EQ(items[1]["videoName"], "Film.mkv");
    EXPECT_EQ(items[1]["startMs"], 61000);
    EXPECT_EQ(items[1]["sent"], false);
    EXPECT_TRUE(items[1]["videoFile"].is_null());
    EXPECT_EQ(list("?query=PERSON").size(), 1u);
    EXPECT_EQ(list("?query=nobody").size(), 0u);

    // The export, read back as Anki reads it.
    auto tsv = client().Get("/api/notebook/export.tsv");
    ASSERT_TRUE(tsv && tsv->status == 200);
    EXPECT_EQ(tsv->get_header_value("Content-Type"), "text/tab-separated-values; charset=utf-8");
    std::istringstream lines(tsv->body);
    std::vector<std::vector<std::string>> rows;
    for (std::string text; std::getline(lines, text);) {
        std::vector<std::string> cells;
        std::istringstream cellStream(text);
        for (std::string cell; std::getline(cellStream, cell, '\t');) cells.push_back(cell);
        rows.push_back(cells);
    }
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], std::vector<std::string>{"#separator:tab"});
    EXPECT_EQ(rows[1], std::vector<std::string>{"#html:true"});
    EXPECT_EQ(rows[2], (std::vector<std::string>{"#columns:Key", "Word", "Sentence", "Translation",
                                                 "Definition", "Source"}));
    EXPECT_EQ(rows[3], (std::vector<std::string>{"lirra-" + std::to_string(id), "",
                                                 "Hello there, &lt;i&gt;friend&lt;/i&gt;",
                                                 "Hola<br>amigo", "", "Film.mkv, 1:01"}));
    EXPECT_EQ(rows[4][1], "friend");
    EXPECT_EQ(rows[4][4], "a person you know well");

    auto removed = client().Delete("/api/notebook/" + std::to_string(id));
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->status, 200);
    EXPECT_EQ(client().Delete("/api/notebook/" + std::to_string(id))->status, 404);
    EXPECT_EQ(list().size(), 1u);

    // Kept across a restart.
    server_->stop();
    ASSERT_EQ(server_->start(), "");
    EXPECT_EQ(list().size(), 1u);
}

TEST_F(NotebookHttpTest, BadInputIsRefusedWithAReason) {
    const auto video = lookup("Film.mkv", "8a3f2c", 734003200);
    const json good = {{"videoId", video}, {"startMs", 1000}, {"endMs", 2000}, {"text", "Hi"}};
    auto with = [&](const char* name, json value) {
        json body = good;
        if (value.is_null()) {
            body.erase(name);
        } else {
            body[name] = value;
        }
        return body.dump();
    };
    struct Row {
        const char* what;
        std::string path, body, type;
        int status;
        const char* says;
    };
    const std::string big(10 * 1024, 'a');
    const Row rows[] = {
        {"not JSON", "/api/notebook", "{", "application/json", 400, "not JSON"},
        {"a form", "/api/notebook", "text=Hi", "application/x-www-form-urlencoded", 415, "json"},
        {"an array", "/api/notebook", "[1]", "application/json", 400, "object"},
        {"no text", "/api/notebook", with("text", nullptr), "application/json", 400,
         "text is missing"},
        {"blank text", "/api/notebook", with("text", " \n\t "), "application/json", 400, "empty"},
        {"text as a number", "/api/notebook", with("text", 5), "application/json", 400, "text"},
        {"10 KB of text", "/api/notebook", with("text", big), "application/json", 400, "longer"},
        {"a negative time", "/api/notebook", with("startMs", -5), "application/json", 400,
         "within"},
        {"an end before the start", "/api/notebook", with("endMs", 500), "application/json", 400,
         "within"},
        {"three days in", "/api/notebook", with("endMs", 259200000), "application/json", 400,
         "within"},
        {"a fractional time", "/api/notebook", with("startMs", 1.5), "application/json", 400,
         "whole number"},
        {"no such video", "/api/notebook", with("videoId", 999), "application/json", 404,
         "no such video"},
        {"a definition without a word", "/api/notebook", with("definition", "x"),
         "application/json", 400, "needs its word"},
        {"a word on two lines", "/api/notebook", with("word", "a\nb"), "application/json", 400,
         "one line"},
        {"ids not a list", "/api/notebook/anki", R"({"ids": 3})", "application/json", 400, "ids"},
        {"an id that is text", "/api/notebook/anki", R"({"ids": ["1"]})", "application/json", 400,
         "item ids"},
        {"too many ids", "/api/notebook/anki", json{{"ids", std::vector<int>(501, 1)}}.dump(),
         "application/json", 400, "at most"},
        {"a huge body", "/api/notebook", std::string(70 * 1024, ' '), "application/json", 413,
         "too large"},
    };
    for (const auto& row : rows) {
        auto res = client().Post(row.path, row.body, row.type.c_str());
        ASSERT_TRUE(res) << row.what;
        EXPECT_EQ(res->status, row.status) << row.what << ": " << res->body;
        const auto answer = json::parse(res->body, nullptr, false);
        ASSERT_TRUE(answer.is_object()) << row.what;
        EXPECT_NE(answer.value("error", "").find(row.says), std::string::npos)
            << row.what << ": " << res->body;
    }
    EXPECT_TRUE(list().empty());
    const std::pair<const char*, int> gets[] = {{"/api/notebook?limit=0", 400},
                                                {"/api/notebook?limit=501", 400},
                                                {"/api/notebook?limit=x", 400},
                                                {"/api/notebook?limit=500", 200}};
    for (const auto& [path, status] : gets) EXPECT_EQ(client().Get(path)->status, status) << path;
    EXPECT_EQ(client().Delete("/api/notebook/99999999999")->status, 404);
    EXPECT_TRUE(anki_.requests().empty());
}

TEST_F(NotebookHttpTest, AVideoFoundInTheLibraryGivesItsFileAndACardWithMedia) {
    const std::string path = test::makeRampVideo(media_, "lib/Ramp.mkv");
    ASSERT_FALSE(path.empty());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    char hash[24];
    std::snprintf(hash, sizeof hash, "%llx",
                  static_cast<unsigned long long>(test::referenceHashOfFile(path)));
    const auto video = lookup("Ramp.mkv", hash, static_cast<std::uint64_t>(st.st_size));
    auto saved = post("/api/notebook", {{"videoId", video},
                                        {"startMs", 1000},
                                        {"endMs", 2500},
                                        {"text", "Brighter"},
                                        {"translation", "Más claro"}});
    ASSERT_TRUE(saved && saved->status == 201);
    const auto id = json::parse(saved->body)["id"];
    // The service finds the file in the background after the lookup.
    json items;
    for (int i = 0; i < 200; ++i) {
        items = list();
        if (!items[0]["videoFile"].is_null()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(items[0]["videoFile"], std::filesystem::canonical(path).string());

    auto res = post("/api/notebook/anki", {{"ids", {id}}});
    ASSERT_TRUE(res && res->status == 200);
    const json answer = json::parse(res->body);
    EXPECT_EQ(answer["added"], 1);
    EXPECT_EQ(answer["duplicates"], 0);
    EXPECT_EQ(answer["failed"], json::array());
    EXPECT_EQ(answer["withoutMedia"], json::array());
    EXPECT_FALSE(answer.contains("error"));
    EXPECT_EQ(anki_.media().size(), 2u);
    EXPECT_EQ(list()[0]["sent"], true);
    EXPECT_EQ(json::parse(post("/api/notebook/anki", {{"ids", {id}}})->body)["duplicates"], 1);
}

}  // namespace
}  // namespace lirra::server
