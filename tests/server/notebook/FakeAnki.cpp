#include "FakeAnki.h"

#include <regex>

namespace lirra::server::test {

using nlohmann::json;

std::string decodeBase64(const std::string& text) {
    static const std::string digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    int bits = 0, value = 0;
    for (char c : text) {
        const auto v = digits.find(c);
        if (v == std::string::npos) break;  // '=' or garbage ends it
        value = value << 6 | int(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>(value >> bits & 0xFF);
        }
    }
    return out;
}

FakeAnki::FakeAnki() {
    server_.Post("/", [this](const httplib::Request& req, httplib::Response& res) {
        const json request = json::parse(req.body, nullptr, false);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request.is_discarded() ? json(req.body) : request);
        }
        if (const int ms = delayMs.load(); ms > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
        if (httpStatus != 200) {
            res.status = httpStatus;
            res.set_content("busy", "text/plain");
            return;
        }
        if (answerHtml) {
            res.set_content("<html><body><h1>It works!</h1></body></html>", "text/html");
            return;
        }
        res.set_content(act(request).dump(), "application/json");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeAnki::~FakeAnki() {
    server_.stop();
    thread_.join();
}

json FakeAnki::act(const json& request) {
    std::lock_guard lock(mutex_);
    auto fail = [](const std::string& error) {
        return json{{"result", nullptr}, {"error", error}};
    };
    auto ok = [](json result) { return json{{"result", std::move(result)}, {"error", nullptr}}; };
    // Without version 6 the real one answers in an older shape.
    if (!request.is_object() || !request.contains("action") || request.value("version", 0) != 6)
        return fail("bad request");
    if (!requiredKey.empty() && request.value("key", "") != requiredKey) {
        return fail("valid api key must be provided");
    }
    if (!refuseAll.empty()) return fail(refuseAll);
    const std::string action = request["action"];
    const json params = request.value("params", json::object());
    if (action == "version") return ok(6);
    if (action == "deckNames") return ok(decks);
    if (action == "createDeck") {
        decks.insert(params.at("deck").get<std::string>());
        return ok(nextId_++);
    }
    if (action == "modelNames") {
        json names = json::array();
        for (const auto& [name, fields] : models) names.push_back(name);
        return ok(names);
    }
    if (action == "modelFieldNames") {
        const auto it = models.find(params.value("modelName", ""));
        if (it == models.end()) return fail("model was not found");
        return ok(it->second);
    }
    if (action == "createModel") {
        const std::string name = params.at("modelName");
        if (models.count(name)) return fail("Model name already exists");
        models[name] = params.at("inOrderFields").get<std::vector<std::string>>();
        return ok({{"name", name}});
    }
    if (action == "findNotes") {
        static const std::regex keyTerm("\"Key:([^\"]*)\"");
        std::smatch match;
        const std::string query = params.value("query", "");
        json ids = json::array();
        if (std::regex_search(query, match, keyTerm)) {
            for (const auto& note : notes) {
                const auto key = note.fields.find("Key");
                if (key != note.fields.end() && key->second == match[1].str())
                    ids.push_back(note.id);
            }
        }
        return ok(ids);
    }
    if (action == "addNote") {
        const json& n = params.at("note");
        FakeNote note;
        note.deck = n.value("deckName", "");
        note.model = n.value("modelName", "");
        if (!decks.count(note.deck)) return fail("deck was not found: " + note.deck);
        const auto model = models.find(note.model);
        if (model == models.end()) return fail("model was not found: " + note.model);
        for (const auto& field : model->second) note.fields[field] = n["fields"].value(field, "");
        if (!refuseAddWithKey.empty() && note.fields["Key"] == refuseAddWithKey) {
            return fail("this note is refused");
        }
        for (const char* kind : {"picture", "audio"}) {
            for (const auto& m : n.value(kind, json::array())) {
                const std::string name = m.at("filename");
                media[name] = decodeBase64(m.at("data").get<std::string>());
                for (const auto& field : m.at("fields")) {
                    note.fields[field] += std::string(kind) == "picture"
                                              ? "<img src=\"" + name + "\">"
                                              : "[sound:" + name + "]";
                }
            }
        }
        note.id = nextId_++;
        notes.push_back(note);
        return ok(note.id);
    }
    return fail("unsupported action");
}

std::vector<json> FakeAnki::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> FakeAnki::actions() const {
    std::vector<std::string> names;
    for (const auto& r : requests()) names.push_back(r.is_object() ? r.value("action", "?") : "?");
    return names;
}

void FakeAnki::forget() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

}  // namespace lirra::server::test
