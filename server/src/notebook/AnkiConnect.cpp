// SPDX-License-Identifier: GPL-3.0-or-later
#include "notebook/AnkiConnect.h"

#include "net/Exchange.h"

namespace lirra::server::notebook {
namespace {

constexpr std::size_t kMaxAnswerBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxQuotedBytes = 200;

// What AnkiConnect said, fit to be quoted to the learner: one line, bounded. It came out of the
// JSON parser, so it is valid UTF-8, and stays so when cut at a character's start.
std::string quoted(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (line.size() >= kMaxQuotedBytes) break;
        line += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    if (line.size() < text.size()) {
        // Cut at the start of the character that did not fit whole.
        std::size_t end = line.size();
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        line.resize(end);
    }
    return line;
}

}  // namespace

std::string checkAnkiUrl(const std::string& url) {
    std::string error;
    if (!net::parseHttpUrl(url, error)) return error;
    return {};
}

std::optional<nlohmann::json> AnkiConnect::call(const std::string& action,
                                                const nlohmann::json& params,
                                                AnkiError& failure) const {
    failure = {};
    std::string& error = failure.message;
    std::string urlError;
    const auto url = net::parseHttpUrl(settings_.url, urlError);
    if (!url) {
        error = "the Anki address " + settings_.url + " is unusable: " + urlError;
        return std::nullopt;
    }
    nlohmann::json request = {{"action", action}, {"version", kAnkiConnectVersion}};
    if (!params.is_null()) request["params"] = params;
    if (!settings_.key.empty()) request["key"] = settings_.key;

    net::ExchangeRequest exchange;
    exchange.method = "POST";
    exchange.url = *url;
    if (exchange.url.path.empty()) exchange.url.path = "/";
    exchange.body = request.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    exchange.contentType = "application/json";
    exchange.maxAnswerBytes = kMaxAnswerBytes;
    exchange.deadline = settings_.callBound;
    const net::ExchangeResult result = net::runExchange(exchange);

    const std::string where = url->text();
    const auto seconds = std::to_string((settings_.callBound.count() + 999) / 1000);
    switch (result.outcome) {
        case net::ExchangeOutcome::Answered:
            break;
        case net::ExchangeOutcome::TimedOut:
            error = "Anki did not answer within " + seconds + " s (" + action +
                    "); is a dialog open in Anki?";
            return std::nullopt;
        case net::ExchangeOutcome::TooLarge:
            error = "Anki's answer to " + action + " was too large";
            return std::nullopt;
        default:
            error = "Anki is not running, or AnkiConnect is not installed: nothing answered at " +
                    where;
            return std::nullopt;
    }
    if (result.status != 200) {
        error = "AnkiConnect at " + where + " answered HTTP " + std::to_string(result.status) +
                " to " + action;
        return std::nullopt;
    }
    const auto answer = nlohmann::json::parse(result.body, nullptr, false);
    // Version 6 always answers an object with both members.
    if (answer.is_discarded() || !answer.is_object() || !answer.contains("result") ||
        !answer.contains("error")) {
        error = "what answers at " + where + " is not AnkiConnect (its answer to " + action +
                " is not AnkiConnect's JSON)";
        return std::nullopt;
    }
    const auto& refusal = answer["error"];
    if (!refusal.is_null()) {
        const std::string text = refusal.is_string() ? refusal.get<std::string>() : refusal.dump();
        error = "AnkiConnect refused " + action + ": " + quoted(text);
        failure.refused = true;
        return std::nullopt;
    }
    return answer["result"];
}

}  // namespace lirra::server::notebook
