// SPDX-License-Identifier: GPL-3.0-or-later
// The service's multipart parser and boundary reader on any body: a body either parses whole
// or gives an error and no part, and every part it gives obeys the limits.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "http/Multipart.h"
#include "subtitles/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra;
    FuzzedDataProvider provider(data, size);
    const std::string contentType = provider.ConsumeRandomLengthString(120);
    const auto fromType = server::multipartBoundary(contentType);
    if (fromType) {
        FUZZ_CHECK(!fromType->empty() && fromType->size() <= 70, "a boundary out of bounds");
    }
    const std::string boundary = fromType ? *fromType : provider.ConsumeRandomLengthString(16);
    const server::MultipartLimits limits{provider.ConsumeIntegralInRange<std::size_t>(0, 8),
                                         provider.ConsumeIntegralInRange<std::size_t>(0, 512)};
    const std::string body = provider.ConsumeRemainingBytesAsString();
    const auto parsed = server::parseMultipart(body, boundary, limits);
    if (!parsed.error.empty()) {
        FUZZ_CHECK(parsed.parts.empty(), "a refused body kept parts");
        return 0;
    }
    FUZZ_CHECK(parsed.parts.size() <= limits.maxParts, "more parts than the limit");
    for (const auto& part : parsed.parts) {
        FUZZ_CHECK(server::isValidUtf8(part.name), "a part name is not UTF-8");
        FUZZ_CHECK(!part.fileName || server::isValidUtf8(*part.fileName),
                   "a file name is not UTF-8");
        FUZZ_CHECK(part.content.size() <= body.size(), "a part larger than the body");
    }
    return 0;
}
