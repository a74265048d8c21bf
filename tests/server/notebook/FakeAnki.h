// A fake of AnkiConnect (version 6): a route set on a loopback server, with decks, note types and
// notes in memory and media kept as the bytes sent. Tests make it refuse through its fields, and
// answer otherwise (late, in HTML, with HTTP errors) by intercepting its route.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "support/LoopbackHttpServer.h"

namespace lirra::server::test {

struct FakeNote {
    long long id = 0;
    std::string deck, model;
    std::map<std::string, std::string> fields;
};

// The collection and the misbehaviour: set before the client asks, read once it has its answer.
struct FakeAnkiState {
    std::set<std::string> decks = {"Default"};
    std::map<std::string, std::vector<std::string>> models = {{"Basic", {"Front", "Back"}}};
    std::vector<FakeNote> notes;
    std::map<std::string, std::string> media;  // file name -> bytes
    std::string requiredKey;                   // refuse requests without this key
    std::string refuseAddWithKey;              // addNote of the note with this Key fails
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
    // Every request body, parsed, and its action.
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

    static std::string decodeBase64(const std::string& text) {
        static const std::string digits =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string out;
        int bits = 0, value = 0;
        for (char c : text) {
            const auto v = digits.find(c);
            if (v == std::string::npos) break;  // '=' or garbage ends it
            value = (value << 6 | int(v)) & 0xFFFFFF;
            if ((bits += 6) >= 8) out += static_cast<char>(value >> (bits -= 8) & 0xFF);
        }
        return out;
    }

    json act(const json& request) {
        std::lock_guard lock(mutex_);
        // Without version 6 the real one answers in an older shape.
        if (!request.is_object() || request.value("version", 0) != 6) return fail("bad request");
        if (!requiredKey.empty() && request.value("key", "") != requiredKey)
            return fail("valid api key must be provided");
        const std::string action = request.value("action", "");
        const json params = request.value("params", json::object());
        if (action == "version") return ok(6);
        if (action == "deckNames") return ok(decks);
        if (action == "createDeck") {
            decks.insert(params.at("deck").get<std::string>());
            return ok(nextId_++);
        }
        if (action == "modelNames") {
            json names = json::array();
            for (const auto& model : models) names.push_back(model.first);
            return ok(names);
        }
        if (action == "modelFieldNames") {
            const auto it = models.find(params.value("modelName", ""));
            return it == models.end() ? fail("model was not found") : ok(it->second);
        }
        if (action == "createModel") {
            const std::string name = params.at("modelName");
            if (models.count(name)) return fail("Model name already exists");
            models[name] = params.at("inOrderFields").get<std::vector<std::string>>();
            return ok({{"name", name}});
        }
        if (action == "findNotes") {
            const std::string query = params.value("query", "");
            const auto at = query.find("\"Key:");
            const std::string key = at == std::string::npos ? "\n" : query.substr(at + 5);
            json ids = json::array();
            for (const auto& note : notes) {
                if (note.fields.count("Key") && note.fields.at("Key") + "\"" == key)
                    ids.push_back(note.id);
            }
            return ok(ids);
        }
        if (action != "addNote") return fail("unsupported action");
        const json& n = params.at("note");
        FakeNote note{nextId_++, n.value("deckName", ""), n.value("modelName", ""), {}};
        if (!decks.count(note.deck)) return fail("deck was not found: " + note.deck);
        if (!models.count(note.model)) return fail("model was not found: " + note.model);
        for (const auto& field : models[note.model])
            note.fields[field] = n["fields"].value(field, "");
        if (!refuseAddWithKey.empty() && note.fields["Key"] == refuseAddWithKey)
            return fail("this note is refused");
        static const std::array<std::array<std::string, 3>, 2> kKinds{
            {{"picture", "<img src=\"", "\">"}, {"audio", "[sound:", "]"}}};
        for (const auto& [kind, before, after] : kKinds) {
            for (const auto& m : n.value(kind, json::array())) {
                const std::string name = m.at("filename");
                media[name] = decodeBase64(m.at("data").get<std::string>());
                for (const auto& field : m.at("fields"))
                    note.fields[field] += before + name + after;
            }
        }
        notes.push_back(note);
        return ok(note.id);
    }

    std::mutex mutex_;
    long long nextId_ = 1700000000000;
};

}  // namespace lirra::server::test
