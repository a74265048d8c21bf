// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/DictionaryApi.h"

#include "dictionary/DictionaryService.h"

namespace lirra::server {
namespace {

HttpResponse reply(const dictionary::DictionaryReply& answer) {
    auto response = HttpResponse::jsonText(answer.status, answer.json);
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

}  // namespace

HttpResponse dictionaryLookup(const ServiceContext& context, const HttpRequest& request) {
    if (!context.dictionaries) return HttpResponse::error(503, "no dictionaries in this service");
    const std::string* text = request.queryValue("text");
    const std::string* native = request.queryValue("native");
    return reply(context.dictionaries->lookup(text ? *text : std::string(),
                                              native ? *native : std::string()));
}

HttpResponse dictionarySources(const ServiceContext& context, const HttpRequest&) {
    if (!context.dictionaries) return HttpResponse::error(503, "no dictionaries in this service");
    return reply(context.dictionaries->sources());
}

}  // namespace lirra::server
