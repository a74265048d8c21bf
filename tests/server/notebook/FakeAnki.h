// SPDX-License-Identifier: GPL-3.0-or-later
// A fake of AnkiConnect (version 6) on loopback, its collection in memory; tests make it refuse
// through its fields, and misbehave otherwise by intercepting its route.
#pragma once

#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "support/LoopbackHttpServer.h"

namespace lirra::server::test {

// The collection and the misbehaviour: set before the client asks, read once it has its answer.
struct FakeAnkiState {
    std::set<std::string> decks = {"Default"};
    std::map<std::string, nlohmann::json> models = {{"Basic", {"Front", "Back"}}};
    std::vector<nlohmann::json> notes;  // addNote's "note" as sent, with the "id" it was given
    std::string requiredKey;            // refuse requests without this key
    std::string refuseAddWithKey;       // addNote of the note with this Key fails
};

class FakeAnki : public FakeAnkiState {
  public:
    using json = nlohmann::json;

    FakeAnki() {
        http.server().Post("/", [this](const httplib::Request& req, httplib::Response& res) {
            res.set_content(act(json::parse(req.body, nullptr, false)).dump(), "application/json");
        });
        http.start();
    }

    std::string url() const { return http.url(""); }
    // Every request body, parsed, and each one's action.
    std::vector<json> requests() const {
        std::vector<json> parsed;
        for (const auto& r : http.requests()) parsed.push_back(json::parse(r.body, nullptr, false));
        return parsed;
    }
    std::vector<std::string> actions() const {
        std::vector<std::string> names;
        for (const auto& r : requests())
            names.push_back(r.is_object() ? r.value("action", "?") : "?");
        return names;
    }
    // A fresh Anki that has seen nothing and answers as itself.
    void reset() {
        std::lock_guard lock(mutex_);
        static_cast<FakeAnkiState&>(*this) = FakeAnkiState();
        http.clearRequests();
        http.intercept("/", nullptr);
    }

    lirra::test::LoopbackHttpServer http;

  private:
    static json ok(json result) { return {{"result", std::move(result)}, {"error", nullptr}}; }
    static json fail(const std::string& error) { return {{"result", nullptr}, {"error", error}}; }

    json act(const json& request) {
        std::lock_guard lock(mutex_);
        // Without version 6 the real one answers in an older shape.
        if (!request.is_object() || request.value("version", 0) != 6) return fail("bad request");
        if (!requiredKey.empty() && request.value("key", "") != requiredKey)
            return fail("valid api key must be provided");
        const std::string action = request.value("action", "");
        const json params = request.value("params", json::object());
        const std::string model = params.value("modelName", "");
        json names = json::array();
        if (action == "version") return ok(6);
        if (action == "deckNames") return ok(decks);
        if (action == "createDeck") return decks.insert(params.value("deck", "")), ok(nextId_++);
        if (action == "modelNames") {
            for (const auto& entry : models) names.push_back(entry.first);
            return ok(names);
        }
        if (action == "modelFieldNames")
            return models.count(model) ? ok(models[model]) : fail("model was not found");
        if (action == "createModel") {
            if (models.count(model)) return fail("Model name already exists");
            return models[model] = params.value("inOrderFields", json()), ok({{"name", model}});
        }
        if (action == "findNotes") {
            for (const auto& note : notes) {
                const std::string key = note["fields"].value("Key", "\n");
                if (params.value("query", "").find("\"Key:" + key + "\"") != std::string::npos)
                    names.push_back(note["id"]);
            }
            return ok(names);
        }
        if (action != "addNote") return fail("unsupported action");
        json note = params.value("note", json::object());
        if (!decks.count(note.value("deckName", ""))) return fail("deck was not found");
        if (!models.count(note.value("modelName", ""))) return fail("model was not found");
        if (note["fields"].value("Key", "") == refuseAddWithKey)
            return fail("this note is refused");
        notes.push_back(note);
        return ok(notes.back()["id"] = nextId_++);
    }

    std::mutex mutex_;
    long long nextId_ = 1700000000000;
};

}  // namespace lirra::server::test
