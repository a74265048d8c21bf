// A fake of AnkiConnect (version 6) on a loopback port: decks, note types and notes in memory,
// media kept as the bytes sent, and every request recorded as it came. Tests make it misbehave
// (answer late, in HTML, with HTTP errors, refuse) through its fields.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace lirra::server::test {

struct FakeNote {
    long long id = 0;
    std::string deck;
    std::string model;
    std::map<std::string, std::string> fields;
};

class FakeAnki {
  public:
    FakeAnki();
    ~FakeAnki();

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // Every request body, parsed (a body that is not JSON is kept as a string).
    std::vector<nlohmann::json> requests() const;
    // The actions in the order they came.
    std::vector<std::string> actions() const;
    void forget();

    // The collection; change before the client asks, read once it has its answer.
    std::set<std::string> decks = {"Default"};
    std::map<std::string, std::vector<std::string>> models = {{"Basic", {"Front", "Back"}}};
    std::vector<FakeNote> notes;
    std::map<std::string, std::string> media;  // file name -> bytes

    // Misbehaviour.
    std::atomic<int> delayMs{0};          // before every answer
    std::atomic<int> httpStatus{200};     // anything else answers this status
    std::atomic<bool> answerHtml{false};  // an HTML page instead of JSON
    std::string requiredKey;              // refuse requests without this key
    std::string refuseAll;                // every action answers this error
    std::string refuseAddWithKey;         // addNote of the note with this Key fails

  private:
    nlohmann::json act(const nlohmann::json& request);

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<nlohmann::json> requests_;
    long long nextId_ = 1700000000000;
};

std::string decodeBase64(const std::string& text);

}  // namespace lirra::server::test
