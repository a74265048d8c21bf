// A real service on loopback whose notebook sends to a fake AnkiConnect, and the requests the
// notebook's tests make of it as the notebook page does.
#pragma once

#include "FakeAnki.h"
#include "NotebookMedia.h"
#include "ServerFixture.h"

namespace lirra::server::test {

class NotebookFixture : public ServerFixture {
  protected:
    void configure(ServerOptions& options) override {
        options.ankiUrl = anki_.url();
        options.ankiKey = ankiKey_;
    }

    httplib::Result post(const std::string& path, const nlohmann::json& body) {
        return client().Post(path, body.dump(), "application/json");
    }
    // A line of a video saved; its id.
    std::int64_t save(std::int64_t video, int startMs, int endMs, const std::string& text,
                      nlohmann::json more = nlohmann::json::object()) {
        more.update({{"videoId", video}, {"startMs", startMs}, {"endMs", endMs}, {"text", text}});
        const auto res = post("/api/notebook", more);
        EXPECT_TRUE(res && (res->status == 201 || res->status == 200)) << text;
        return res ? nlohmann::json::parse(res->body).value("id", std::int64_t{0}) : 0;
    }
    nlohmann::json list(const std::string& query = "") {
        auto res = client().Get("/api/notebook" + query);
        EXPECT_TRUE(res && res->status == 200) << query;
        return res ? nlohmann::json::parse(res->body)["items"] : nlohmann::json();
    }
    // The notebook page's "send to Anki": the report.
    nlohmann::json send(const std::vector<std::int64_t>& ids) {
        const auto res = post("/api/notebook/anki", {{"ids", ids}});
        EXPECT_TRUE(res && res->status == 200);
        return res ? nlohmann::json::parse(res->body) : nlohmann::json();
    }

    MediaFolder media_;
    FakeAnki anki_;
    std::string ankiKey_;  // what the service sends as AnkiConnect's key
};

}  // namespace lirra::server::test
