// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/Exchange.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netdb.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace lirra::server::net {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxHeaderValue = 1024;

struct Transfer {
    const ExchangeRequest& request;
    const std::atomic<bool>* cancel;
    std::string body;
    std::map<std::string, std::string> headers;
    bool tooLarge = false;
    bool cancelled = false;
};

std::size_t onHeader(char* data, std::size_t, std::size_t size, void* cls) {
    auto& t = *static_cast<Transfer*>(cls);
    std::string line(data, size);
    // Each status line (an interim 100 first, say) starts the headers of a new answer.
    if (line.rfind("HTTP/", 0) == 0) t.headers.clear();
    const auto colon = line.find(':');
    if (colon == std::string::npos) return size;
    std::string name = line.substr(0, colon);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto begin = line.find_first_not_of(" \t", colon + 1);
    const auto end = line.find_last_not_of(" \t\r\n");
    const std::string value =
        begin == std::string::npos || end < begin ? "" : line.substr(begin, end - begin + 1);
    if (value.size() <= kMaxHeaderValue) t.headers.emplace(std::move(name), value);
    return size;
}

std::size_t onBody(char* data, std::size_t, std::size_t size, void* cls) {
    auto& t = *static_cast<Transfer*>(cls);
    if (t.body.size() + size > t.request.maxAnswerBytes) {
        t.tooLarge = true;
        return 0;  // ends the transfer
    }
    t.body.append(data, size);
    return size;
}

int onProgress(void* cls, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& t = *static_cast<Transfer*>(cls);
    t.cancelled = t.cancel && t.cancel->load();
    return t.cancelled ? 1 : 0;
}

struct Handle {
    CURL* curl = curl_easy_init();
    curl_slist* headers = nullptr;
    curl_slist* resolve = nullptr;
    ~Handle() {
        curl_slist_free_all(headers);
        curl_slist_free_all(resolve);
        curl_easy_cleanup(curl);
    }
};

// The host's addresses, each passed by `check`, as CURLOPT_RESOLVE takes them
// ("host:port:a,[b]"); empty with `error` set when one is refused or none is found.
std::string checkedAddresses(const HttpUrl& url,
                             const std::function<std::string(const sockaddr&)>& check,
                             std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(url.host.c_str(), std::to_string(url.port).c_str(), &hints, &found) != 0) {
        error = "the name " + url.host + " could not be resolved";
        return {};
    }
    std::string list;
    for (const addrinfo* a = found; a && error.empty(); a = a->ai_next) {
        error = check(*a->ai_addr);
        char text[INET6_ADDRSTRLEN] = {};
        const bool v6 = a->ai_family == AF_INET6;
        const void* bytes =
            v6 ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr)
               : &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr;
        if (!inet_ntop(a->ai_family, bytes, text, sizeof text)) continue;
        list += (list.empty() ? "" : ",") + (v6 ? "[" + std::string(text) + "]" : text);
    }
    freeaddrinfo(found);
    if (list.empty() && error.empty()) error = "the name " + url.host + " has no address";
    if (!error.empty()) return {};
    return url.hostForHeader() + ":" + std::to_string(url.port) + ":" + list;
}

}  // namespace

ExchangeResult runExchange(const ExchangeRequest& request, const std::atomic<bool>* cancel) {
    ExchangeResult result;
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Handle h;
    if (!ready || !h.curl) {
        result.error = "the HTTP client could not be set up";
        return result;
    }
    Transfer t{request, cancel, {}, {}};
    CURL* c = h.curl;
    if (request.addressCheck) {
        const std::string pinned =
            checkedAddresses(request.url, request.addressCheck, result.error);
        if (pinned.empty()) return result;
        h.resolve = curl_slist_append(h.resolve, pinned.c_str());
        curl_easy_setopt(c, CURLOPT_RESOLVE, h.resolve);
    }
    const std::string url = request.url.text();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);  // paths and queries are encoded by the caller
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);  // the caller checks where a link leads
    // The deadline holds for the whole exchange; a server that stops sending is dropped sooner.
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request.deadline.count()));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(std::max<long long>(1, request.idle.count() / 1000)));
    // Loopback (AnkiConnect, a test double) never goes through a proxy; the rest follows
    // http_proxy, https_proxy and no_proxy.
    if (request.url.isLoopback()) curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
    if (!request.caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, request.caFile.c_str());
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxAnswerBytes));
    for (const auto& [name, value] : request.headers)
        h.headers = curl_slist_append(h.headers, (name + ": " + value).c_str());
    h.headers = curl_slist_append(h.headers, "Expect:");  // the body goes with the head
    if (request.method == "POST") {
        h.headers = curl_slist_append(h.headers, ("Content-Type: " + request.contentType).c_str());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.data());
    } else if (request.method != "GET") {
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, h.headers);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    char why[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, why);

    const auto start = Clock::now();
    const CURLcode code = curl_easy_perform(c);
    const auto message = [&] { return std::string(why[0] ? why : curl_easy_strerror(code)); };
    if (t.cancelled) {
        result.outcome = ExchangeOutcome::Cancelled;
        result.error = "cancelled";
    } else if (t.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.outcome = ExchangeOutcome::TooLarge;
        result.error =
            "the answer is larger than " + std::to_string(request.maxAnswerBytes) + " bytes";
    } else if (code == CURLE_OPERATION_TIMEDOUT) {
        result.outcome = ExchangeOutcome::TimedOut;
        result.error =
            Clock::now() - start >= request.deadline
                ? "no whole answer within " + std::to_string(request.deadline.count()) + " ms"
                : "nothing received for " + std::to_string(request.idle.count()) + " ms";
    } else if (code != CURLE_OK) {
        result.outcome = ExchangeOutcome::Unreachable;
        result.error = code == CURLE_PEER_FAILED_VERIFICATION
                           ? "the certificate was refused: " + message()
                           : message();
    } else {
        long status = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
        result.outcome = ExchangeOutcome::Answered;
        result.status = static_cast<int>(status);
        result.body = std::move(t.body);
        result.headers = std::move(t.headers);
    }
    return result;
}

}  // namespace lirra::server::net
