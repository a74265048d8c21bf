// SPDX-License-Identifier: GPL-3.0-or-later
// What the handlers of every concern share: JSON answers, store failures, request fields and
// the intake of a subtitle file.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "http/Http.h"
#include "store/Store.h"

namespace lirra::server {

HttpResponse jsonResponse(int status, const nlohmann::json& value);

// Logs the store's reason and answers 500 without it; 503 with Retry-After when it was busy.
HttpResponse storeFailure(const std::string& error);

// The Content-Type without parameters, in lower case.
std::string mediaType(const HttpRequest& request);

// A row id from a path capture; none past 2^31 - 1.
std::optional<std::int64_t> idParam(const std::string& text);

// Why a subtitle file can't be held, or nothing when `content` is ready for the store.
struct SubtitleRefusal {
    int status = 0;  // 413 too large, 422 not text
    std::string reason;
};

// Decodes and parses a subtitle file for holding.
std::optional<SubtitleRefusal> prepareSubtitle(const std::string& fileName, std::string bytes,
                                               std::size_t maxBytes, SubtitleContent& content);

}  // namespace lirra::server
