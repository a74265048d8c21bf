// SPDX-License-Identifier: GPL-3.0-or-later
// Whose data is whose, on both backends: two learners asking the service's routes the same
// things, each seeing only their own words, notebook and recent videos (also by guessing the
// other's ids); a learner removed with all of theirs and nothing of anyone else's; a store of
// the build before learners moved to the first learner without loss.
#include <chrono>
#include <regex>
#include <thread>

#include "Backends.h"
#include "http/Http.h"
#include "notebook/Notebook.h"
#include "service/Service.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;
constexpr std::int64_t kA = kImplicitLearner, kB = 2;

template <class Connection>
std::int64_t number(Connection& db, const char* sql) {
    auto st = db.statement(sql);
    EXPECT_EQ(st.step(), decltype(st)::Step::Row) << sql << ": " << db.lastError();
    return st.columnInt(0);
}

// The service's routes over a store of the backend's, called as the accounts layer calls them:
// the request names its learner.
template <class Backend>
class LearnerData : public ::testing::Test, public NewStore<Backend> {
  protected:
    LearnerData() {
        context.notebook = &notebook;
        routes = serviceRoutes(context);
    }

    HttpResponse call(std::int64_t learner, const std::string& method, const std::string& target,
                      const std::string& body) {
        HttpRequest request;
        request.method = method;
        request.body = body;
        request.learner = learner;
        const auto query = target.find('?'), equals = target.find('=');  // one NAME=VALUE at most
        request.path = target.substr(0, query);
        if (query != std::string::npos)
            request.query[target.substr(query + 1, equals - query - 1)] = target.substr(equals + 1);
        request.headers["content-type"] = body.starts_with("{") ? "application/json"
                                          : body.find('=') != body.npos
                                              ? "application/x-www-form-urlencoded"
                                              : "text/plain";
        for (const auto& route : routes) {
            std::smatch match;
            if (route.method != method ||
                !std::regex_match(request.path, match, std::regex(route.pattern)))
                continue;
            for (std::size_t i = 1; i < match.size(); ++i) request.pathParams.push_back(match[i]);
            return route.handler(request);
        }
        ADD_FAILURE() << "no route for " << method << " " << target;
        return {};
    }

    // What an answer shows of whose data it is: the items' ids, the videos' names, the items
    // Anki was not even tried for, the export's lines; else the body.
    static std::string seen(const HttpResponse& res) {
        const auto body = json::parse(res.body, nullptr, false);
        std::string out = std::to_string(res.status);
        if (res.contentType.starts_with("text/tab-separated-values"))
            return out + " lines " +
                   std::to_string(std::count(res.body.begin(), res.body.end(), '\n'));
        if (body.contains("items"))
            for (const auto& item : body["items"]) out += " " + item["id"].dump();
        else if (body.contains("videos"))
            for (const auto& video : body["videos"])
                out += " " + video["fileName"].get<std::string>();
        else if (body.contains("failed"))
            for (const auto& item : body["failed"])
                out += " " + item["id"].dump() +
                       (item["error"] == "no such item in the notebook" ? " none" : " tried");
        else
            out += " " + res.body;
        return out;
    }

    Library library{1 << 20};
    // Anki is not there: an item that is the learner's is tried and fails, another's is not.
    notebook::Notebook notebook{*this->store, [] { return std::vector<std::string>{}; },
                                [] {
                                    notebook::AnkiSettings anki;
                                    anki.url = "http://127.0.0.1:9";
                                    return anki;
                                }()};
    ServiceContext context{
        *this->store, library, {}, [] { return std::string("http://lirra.test/"); }};
    std::vector<Route> routes;
};
TYPED_TEST_SUITE(LearnerData, Backends);

TYPED_TEST(LearnerData, EachLearnerSeesOnlyTheirOwnAndLosesAllOfItAlone) {
    auto film = [](const char* name) {
        return std::string("fileSize=734003200&movieHash=0&fileName=") + name;
    };
    const std::string line = R"({"videoId":1,"startMs":1000,"endMs":2000,"text":"Line 1"})";
    const struct {
        std::int64_t learner;
        const char *method, *path;
        std::string body;
        int status;
    } steps[] = {
        {kB, "POST", "/Player/GetSubtitlesToDownload", film("Film.mkv"), 200},
        {kA, "POST", "/Player/GetSubtitlesToDownload", film("Other.mkv"), 200},
        {kB, "POST", "/Player/GetSubtitlesToDownload", film("Other.mkv"), 200},
        {kB, "POST", "/Player/GetSubtitlesToDownload", film("Film.mkv"), 200},
        {kA, "POST", "/Player/GetSubtitlesToDownload", film("Other.mkv"), 200},
        {kA, "PUT", "/api/words/running", R"({"status":"learning","form":"run"})", 200},
        {kA, "POST", "/api/words/import?status=known", "sky\n", 200},
        {kB, "POST", "/api/words/import?status=known", "running\nowl\n", 200},
        {kB, "PUT", "/api/words/sky", R"({"status":"learning","form":"skies"})", 200},
        {kA, "POST", "/api/notebook", line, 201},  // item 1
        {kB, "POST", "/api/notebook", line, 201},  // item 2: the same line, B's own
        {kB, "POST", "/api/notebook", R"({"videoId":2,"startMs":0,"endMs":1,"text":"Line 2"})",
         201},
        // Ids guessed: another's item is no such item, and stays.
        {kB, "DELETE", "/api/notebook/1", "", 404},
        {kA, "DELETE", "/api/notebook/3", "", 404},
    };
    for (const auto& step : steps) {
        const auto res = this->call(step.learner, step.method, step.path, step.body);
        EXPECT_EQ(res.status, step.status) << step.learner << " " << step.path << ": " << res.body;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));  // each look-up its own time
    }
    // Route × what learner A sees, what B sees, what B sees once B is deleted.
    struct Sight {
        const char *method, *path;
        std::string body, a, b, bGone;
    };
    const Sight sights[] = {
        {"POST", "/api/words/statuses", R"({"words":["running","run","sky"]})",
         R"(200 {"statuses":{"run":"learning","running":"learning","sky":"known"}})",
         R"(200 {"statuses":{"run":"new","running":"known","sky":"learning"}})",
         R"(200 {"statuses":{"run":"new","running":"new","sky":"new"}})"},
        {"GET", "/api/words/counts", "", R"(200 {"known":1,"learning":1})",
         R"(200 {"known":2,"learning":1})", R"(200 {"known":0,"learning":0})"},
        {"GET", "/api/words/export.txt?status=known", "", "200 sky\n", "200 owl\nrunning\n",
         "200 "},
        {"GET", "/api/notebook", "", "200 1", "200 3 2", "200"},
        {"GET", "/api/notebook/export.tsv", "", "200 lines 4", "200 lines 5", "200 lines 3"},
        {"GET", "/api/videos/recent", "", "200 Other.mkv", "200 Film.mkv Other.mkv", "200"},
        {"POST", "/api/notebook/anki", R"({"ids":[1]})", "200 1 tried", "200 1 none", "200 1 none"},
    };
    auto look = [&](std::int64_t learner, std::string Sight::*member) {
        for (const auto& sight : sights)
            EXPECT_EQ(this->seen(this->call(learner, sight.method, sight.path, sight.body)),
                      sight.*member)
                << "learner " << learner << ": " << sight.method << " " << sight.path;
    };
    look(kA, &Sight::a);
    look(kB, &Sight::b);

    auto db = this->backend.connect();
    ASSERT_TRUE(db->exec("INSERT INTO learners (id, name, created_at) VALUES (2, 'b', 0)"));
    EXPECT_EQ(this->store->deleteLearner(kB, this->error), StoreStatus::Ok) << this->error;
    EXPECT_EQ(this->store->deleteLearner(kB, this->error), StoreStatus::NotFound);
    look(kA, &Sight::a);
    look(kB, &Sight::bGone);
    EXPECT_EQ(number(*db,
                     "SELECT (SELECT count(*) FROM learners WHERE id = 2) + (SELECT count(*) FROM "
                     "word_imports WHERE learner_id = 2) + (SELECT count(*) FROM word_forms WHERE "
                     "learner_id = 2) + (SELECT count(*) FROM learners WHERE id = 1)"),
              1);
}

template <class Backend>
class StoreBeforeLearners : public ::testing::Test {};
TYPED_TEST_SUITE(StoreBeforeLearners, Backends);

TYPED_TEST(StoreBeforeLearners, BecomesTheFirstLearnersWithoutLoss) {
    TypeParam backend;
    std::string error;
    {
        auto db = backend.connect();
        ASSERT_TRUE(TypeParam::migrateTo(*db, 8, error)) << error;
        // An item deleted last, and an import a crash cut short after it marked "sky".
        ASSERT_TRUE(db->exec(R"sql(
INSERT INTO videos (lookup_key, hash, size, file_name, created_at, last_seen_at)
    VALUES ('name:Old.mkv', '0', 1, 'Old.mkv', 5, 7), ('name:New.mkv', '0', 1, 'New.mkv', 5, 9);
INSERT INTO word_statuses (form, status, changed_at) VALUES ('run', 'known', 3), ('sky', 'learning', 3);
INSERT INTO word_forms (word, form) VALUES ('ran', 'run');
INSERT INTO notebook_items (video_id, video_name, start_ms, end_ms, text, created_at, sent_at, anki_note_id)
    VALUES (1, 'Old.mkv', 0, 1, 'Kept', 4, 6, 77);
INSERT INTO notebook_items (video_id, video_name, start_ms, end_ms, text, created_at)
    VALUES (1, 'Old.mkv', 0, 1, 'Gone', 4);
DELETE FROM notebook_items WHERE text = 'Gone';
INSERT INTO word_imports DEFAULT VALUES;
INSERT INTO word_import_undo (import_id, form, status, changed_at) VALUES (1, 'sky', NULL, NULL);
)sql")) << db->lastError();
    }
    const auto store = openStore(backend, error);
    ASSERT_NE(store, nullptr) << error;
    // Per learner: the statuses of ran, run and sky, the known words, the items, the videos.
    std::map<std::int64_t, std::string> seen;
    for (const std::int64_t learner : {kA, kB}) {
        std::vector<std::string> statuses, known;
        WordCounts counts;
        std::vector<NotebookItem> items;
        std::vector<VideoInfo> videos;
        const std::vector<StoreStatus> calls{
            store->wordStatuses(learner, {"ran", "run", "sky"}, statuses, error),
            store->markedWords(learner, "known", known, counts, error),
            store->notebookItems(learner, NotebookQuery{.search = {}, .limit = 9}, items, error),
            store->recentVideos(learner, 9, videos, error)};
        EXPECT_EQ(calls, std::vector<StoreStatus>(4, StoreStatus::Ok)) << error;
        std::string& out = seen[learner];
        for (const auto& s : statuses) out += s + " ";
        for (const auto& word : known) out += "| " + word + " ";
        for (const auto& item : items)
            out += "| " + item.entry.text + " " + std::to_string(item.sentMs) + " " +
                   std::to_string(item.ankiNoteId) + " ";
        for (const auto& video : videos)
            out += "| " + video.fileName + " " + std::to_string(video.lastSeenMs) + " ";
    }
    EXPECT_EQ(seen[kA], "known known new | run | Kept 6 77 | New.mkv 9 | Old.mkv 7 ");
    EXPECT_EQ(seen[kB], "new new new ");
    // Ids go on past the deleted item's; the next learner is the second.
    std::int64_t id = 0;
    bool created = false;
    NotebookEntry gone;
    gone.videoId = gone.endMs = 1;
    gone.text = "Gone";
    ASSERT_EQ(store->saveNotebookItem(kA, gone, id, created, error), StoreStatus::Ok);
    EXPECT_EQ(id, 3);
    auto db = backend.connect();
    EXPECT_EQ(number(*db, "INSERT INTO learners (created_at) VALUES (0) RETURNING id"), 2);
    EXPECT_EQ(number(*db, "SELECT count(*) FROM learners WHERE id = 1 AND name IS NULL"), 1);
}

}  // namespace
}  // namespace lirra::server::test
