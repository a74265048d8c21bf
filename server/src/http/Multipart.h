// SPDX-License-Identifier: GPL-3.0-or-later
// multipart/form-data bodies, read whole and strictly: a body either parses completely or is
// refused, so an upload is never half taken.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirra::server {

struct MultipartPart {
    std::string name;
    std::optional<std::string> fileName;  // %22 %0D %0A decoded back to '"' CR LF
    std::string contentType;
    std::string content;
};

struct MultipartBody {
    std::vector<MultipartPart> parts;
    std::string error;  // empty when the body parsed
};

struct MultipartLimits {
    std::size_t maxParts = 64;
    std::size_t maxHeaderBytes = 8 * 1024;
};

// The boundary of a "multipart/form-data; boundary=..." content type; none for anything else.
std::optional<std::string> multipartBoundary(std::string_view contentType);

// A part with no headers and no content (as in "--B\r\n\r\n--B--\r\n", an upload of no file)
// is skipped, so such a body has zero parts.
MultipartBody parseMultipart(std::string_view body, std::string_view boundary,
                             const MultipartLimits& limits = {});

}  // namespace lirra::server
