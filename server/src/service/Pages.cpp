// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/Pages.h"

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

HttpResponse page(std::string_view name) {
    const Asset* asset = findAsset(name);
    if (!asset) return HttpResponse::error(500, "page missing from the build");
    auto response = HttpResponse::html(std::string(asset->bytes));
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

}  // namespace

HttpResponse homePage(const ServiceContext&, const HttpRequest&) { return page("home.html"); }

HttpResponse playerPage(const ServiceContext&, const HttpRequest& request) {
    // The client prints the id as an unsigned 64-bit number; the page reads it from its URL.
    const std::string* id = request.queryValue("videoId");
    if (!id || !parseDecimal(*id, UINT64_MAX)) {
        return HttpResponse::error(400, "videoId must be a decimal number");
    }
    return page("play.html");
}

HttpResponse registerPage(const ServiceContext&, const HttpRequest&) {
    return page("register.html");
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

HttpResponse registerRedirect(const ServiceContext&, const HttpRequest&) {
    return HttpResponse::redirect("Register");
}

HttpResponse rootRedirect(const ServiceContext&, const HttpRequest&) {
    return HttpResponse::redirect("Player/Home");
}

}  // namespace lirra::server
