// SPDX-License-Identifier: GPL-3.0-or-later
// A client of AnkiConnect, the Anki add-on that takes JSON requests over HTTP: every request
// names its action and `"version": 6` (and the learner's key when one is set), each call is
// bounded as a whole, and every way it can fail ends in one sentence the learner can act on.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace lirra::server::notebook {

inline constexpr char kDefaultAnkiUrl[] = "http://127.0.0.1:8765";
inline constexpr int kAnkiConnectVersion = 6;

struct AnkiSettings {
    std::string url = kDefaultAnkiUrl;
    std::string key;  // AnkiConnect's optional "apiKey"; sent only when set
    std::chrono::milliseconds callBound{10000};
    // A whole sending: the items left when it has passed are not sent (a slow Anki).
    std::chrono::milliseconds sendBound{60000};
};

// Why a URL cannot be AnkiConnect's (an http(s) URL with a host, no user or fragment); empty
// when it can.
std::string checkAnkiUrl(const std::string& url);

// Why a call gave no result: one sentence for the learner, and whether AnkiConnect itself
// refused the action (Anki is there and another call may work) rather than not answering.
struct AnkiError {
    std::string message;
    bool refused = false;
};

class AnkiConnect {
  public:
    explicit AnkiConnect(AnkiSettings settings) : settings_(std::move(settings)) {}

    // The action's result; none with `error` set when Anki did not answer, answered something
    // else than AnkiConnect's JSON, or refused the action.
    std::optional<nlohmann::json> call(const std::string& action, const nlohmann::json& params,
                                       AnkiError& error) const;

    const AnkiSettings& settings() const { return settings_; }

  private:
    AnkiSettings settings_;
};

}  // namespace lirra::server::notebook
