// A fake of AnkiConnect (version 6): a route set on a loopback server, with decks, note types and
// notes in memory and media kept as the bytes sent. Tests make it misbehave (answer late, in
// HTML, with HTTP errors, refuse) through its fields.
#pragma once

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
    std::string deck;
    std::string model;
    std::map<std::string, std::string> fields;
};

// The collection and the misbehaviour: set before the client asks, read once it has its answer.
struct FakeAnkiState {
    std::set<std::string> decks = {"Default"};
    std::map<std::string, std::vector<std::string>> models = {{"Basic", {"Front", "Back"}}};
    std::vector<FakeNote> notes;
    std::map<std::string, std::string> media;  // file name -> bytes

    int delayMs = 0;               // before every answer
    int httpStatus = 200;          // anything else answers this status
    bool answerHtml = false;       // an HTML page instead of JSON
    std::string requiredKey;       // refuse requests without this key
    std::string refuseAll;         // every action answers this error
    std::string refuseAddWithKey;  // addNote of the note with this Key fails
};

class FakeAnki : public FakeAnkiState {
  public:
    FakeAnki();

    std::string url() const { return http.url(""); }
    // Every request body, parsed (a body that is not JSON is kept as a string), and its action.
    std::vector<nlohmann::json> requests() const;
    std::vector<std::string> actions() const;
    // A fresh Anki that has seen nothing.
    void reset();

    lirra::test::LoopbackHttpServer http;

  private:
    nlohmann::json act(const nlohmann::json& request);

    std::mutex mutex_;
    long long nextId_ = 1700000000000;
};

}  // namespace lirra::server::test
