// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/Pages.h"

#include <cstdint>
#include <cstdio>

#include "service/Assets.h"
#include "subtitles/Text.h"

namespace lirra::server {
namespace {

const Asset* findAsset(std::string_view name) {
    for (const auto& asset : embeddedAssets()) {
        if (asset.name == name) return &asset;
    }
    return nullptr;
}

}  // namespace

HttpResponse page(std::string_view name) {
    const Asset* asset = findAsset(name);
    if (!asset) return HttpResponse::error(500, "page missing from the build");
    auto response = HttpResponse::html(std::string(asset->bytes));
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

HttpResponse homePage(const ServiceContext&, const HttpRequest&) { return page("home.html"); }

HttpResponse playerPage(const ServiceContext&, const HttpRequest& request) {
    // The client prints the id as an unsigned 64-bit number; the page reads it from its URL.
    const std::string* id = request.queryValue("videoId");
    if (!id || !parseDecimal(*id, UINT64_MAX)) {
        return HttpResponse::error(400, "videoId must be a decimal number");
    }
    return page("play.html");
}

HttpResponse staticFile(const ServiceContext&, const HttpRequest& request) {
    const std::string& name = request.pathParams.at(0);
    // Pages are served by their own routes; only scripts and styles live here.
    if (name.ends_with(".html")) return HttpResponse::error(404, "no such file");
    const Asset* asset = findAsset(name);
    if (!asset) return HttpResponse::error(404, "no such file");
    HttpResponse response;
    response.contentType = name.ends_with(".css") ? "text/css; charset=utf-8"
                                                  : "application/javascript; charset=utf-8";
    response.body = std::string(asset->bytes);
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c == '_' ? '-' : c);
    return out;
}

const Asset* findCatalogue(std::string_view tag) {
    constexpr std::string_view prefix = "l10n/", suffix = ".json";
    const std::string want = lower(tag);
    const std::string base = want.substr(0, want.find('-'));
    const Asset* sameBase = nullptr;
    for (const auto& asset : embeddedAssets()) {
        if (!asset.name.starts_with(prefix) || !asset.name.ends_with(suffix)) continue;
        const std::string have = lower(
            asset.name.substr(prefix.size(), asset.name.size() - prefix.size() - suffix.size()));
        if (have == want) return &asset;
        // The pseudo-locale (en-XA) is only ever asked for by its name.
        if (have.ends_with("-xa")) continue;
        if (have == base || (!sameBase && have.substr(0, have.find('-')) == base))
            sameBase = &asset;
    }
    return sameBase;
}

// FNV-1a of the catalogue: it changes only with a build.
std::string entityTag(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) hash = (hash ^ std::uint8_t(c)) * 1099511628211ull;
    char text[20];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

HttpResponse pageCatalogue(const ServiceContext&, const HttpRequest& request) {
    const Asset* asset = findCatalogue(request.pathParams.at(0));
    const std::string_view body =
        asset ? asset->bytes : R"({"dir":"ltr","lang":"en","messages":{},"plural":null})";
    const std::string tag = entityTag(body);
    HttpResponse response = request.header("if-none-match") == tag
                                ? HttpResponse::text(304, "")
                                : HttpResponse::jsonText(200, std::string(body));
    response.headers.emplace_back("Cache-Control", "no-cache");
    response.headers.emplace_back("ETag", tag);
    return response;
}

HttpResponse registerRedirect(const ServiceContext&, const HttpRequest&) {
    return HttpResponse::redirect("Register");
}

HttpResponse rootRedirect(const ServiceContext&, const HttpRequest&) {
    return HttpResponse::redirect("Player/Home");
}

}  // namespace lirra::server
