// SPDX-License-Identifier: GPL-3.0-or-later
// The online subtitle database's answers on any body: nothing the reader keeps may break the
// rules the client relies on (bounded counts and texts, no control characters, ids and
// languages it can use), and any link it keeps is judged by the link rules without harm.
#include <nlohmann/json.hpp>

#include "AnswerReader.h"
#include "ApiUrl.h"
#include "FuzzCheck.h"

namespace {

bool cleanText(const std::string& text) {
    if (text.size() > lirra::server::online::kMaxAnswerTextBytes) return false;
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

bool validUtf8(const std::string& text) {
    // What the reader keeps goes back out in JSON answers; dumping in strict mode throws on
    // invalid UTF-8.
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra::server::online;
    const std::string_view body(reinterpret_cast<const char*>(data), size);

    const SearchAnswer search = readSearchAnswer(body);
    FUZZ_CHECK(search.candidates.size() <= kMaxCandidates, "too many candidates");
    FUZZ_CHECK(search.error.empty() || search.candidates.empty(),
               "candidates kept from an unusable answer");
    for (const auto& c : search.candidates) {
        FUZZ_CHECK(c.fileId > 0, "a file id that is not positive");
        FUZZ_CHECK(c.language.size() == 3, "a language that is not a 3-letter code");
        FUZZ_CHECK(c.downloads >= 0, "a negative download count");
        FUZZ_CHECK(cleanText(c.fileName) && validUtf8(c.fileName), "an unclean file name");
    }
    if (search.error.empty()) {
        FUZZ_CHECK(nlohmann::json::accept(body.begin(), body.end()),
                   "an answer that is not JSON was accepted");
    }
    FUZZ_CHECK(validUtf8(search.error), "an error text that is not UTF-8");

    const LinkAnswer link = readLinkAnswer(body);
    FUZZ_CHECK(link.error.empty() == !link.link.empty(), "a link and an error together");
    FUZZ_CHECK(cleanText(link.link) && cleanText(link.fileName), "an unclean link or name");
    if (!link.link.empty()) {
        std::string error;
        if (const auto url = parseHttpUrl(link.link, error)) {
            FUZZ_CHECK(url->scheme == "http" || url->scheme == "https", "a scheme let through");
            FUZZ_CHECK(!url->host.empty() && url->port > 0 && url->port < 65536, "a bad host");
            ApiUrl root;
            root.scheme = "https";
            root.host = "api.example.com";
            root.port = 443;
            if (acceptableLink(*url, root, 8080, error)) {
                FUZZ_CHECK(url->scheme == "https" && !url->isLoopback(),
                           "a link to this machine or over plain http accepted");
            }
        }
    }

    const LoginAnswer login = readLoginAnswer(body);
    FUZZ_CHECK(login.error.empty() == !login.token.empty(), "a token and an error together");
    FUZZ_CHECK(login.token.find_first_of(" \r\n") == std::string::npos,
               "a token that could break a header");

    const std::string message = readErrorMessage(body);
    FUZZ_CHECK(message.size() <= 300 && validUtf8(message), "an unbounded or broken message");
    if (const auto wait = readRetryAfter(body)) {
        FUZZ_CHECK(wait->count() >= 0 && wait->count() <= 86400, "a wait beyond a day");
    }
    (void)readUtcTime(body);
    return 0;
}
