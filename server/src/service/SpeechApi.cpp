// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/SpeechApi.h"

#include "speech/Speech.h"

namespace lirra::server {

HttpResponse speak(const ServiceContext&, const HttpRequest& request) {
    const std::string* text = request.queryValue("text");
    const std::string* voiceText = request.queryValue("voice");
    const auto voice = speech::voiceNamed(voiceText ? *voiceText : "en-us");
    if (!voice) return HttpResponse::error(400, "voice is en-us or en-gb");
    const speech::Spoken spoken =
        speech::Speaker::shared().say(text ? *text : std::string(), *voice);
    if (!spoken.wav) return HttpResponse::error(spoken.status, spoken.error);
    HttpResponse response;
    response.contentType = "audio/wav";
    response.body = *spoken.wav;
    // The same text always sounds the same: the page may keep it.
    response.headers.emplace_back("Cache-Control", "private, max-age=86400");
    response.headers.emplace_back("X-Cache", spoken.cached ? "hit" : "miss");
    return response;
}

}  // namespace lirra::server
