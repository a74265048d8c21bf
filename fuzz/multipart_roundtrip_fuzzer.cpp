// SPDX-License-Identifier: GPL-3.0-or-later
// The upload body the client builds, read by the service's own multipart parser: every file
// must come back whole, with its id, its bytes, and its name as the client wrote it (a '"',
// CR or LF in a name travels as %22, %0D, %0A, which the service decodes).
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "http/Multipart.h"
#include "service/Multipart.h"

namespace lirra::fuzz {
namespace {

const QByteArray& boundary() {
    static const QByteArray value = [] {
        const QByteArray made = makeBoundary();
        FUZZ_CHECK(made.size() == kBoundaryLength, "a boundary of the wrong length");
        for (const char c : made) {
            FUZZ_CHECK(std::string_view(kBoundaryAlphabet).find(c) != std::string_view::npos,
                       "a boundary character outside the alphabet");
        }
        return made;
    }();
    return value;
}

// The service reads %0d and %0a in either case; a name that holds them literally is ambiguous
// on the wire, as it is for browsers.
QByteArray caseFolded(QByteArray written) {
    return written.replace("%0d", "%0D").replace("%0a", "%0A");
}

}  // namespace
}  // namespace lirra::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra;
    using namespace lirra::fuzz;
    FuzzedDataProvider provider(data, size);
    const std::string marker = "--" + toStd(boundary());
    std::vector<MultipartFile> files;
    const int count = provider.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < count; ++i) {
        MultipartFile file;
        file.subsId = provider.ConsumeIntegral<std::uint32_t>();
        file.fileName = fromUtf8Bytes(provider.ConsumeRandomLengthString(300));
        const std::string content = provider.ConsumeRandomLengthString(4096);
        // A random 64-character boundary inside a file is not a case a client meets.
        if (content.find(marker) != std::string::npos) return 0;
        file.fileData = QByteArray(content.data(), static_cast<qsizetype>(content.size()));
        files.push_back(std::move(file));
    }
    const QByteArray body = multipartBody(boundary(), files);

    const auto type =
        server::multipartBoundary("multipart/form-data; boundary=" + toStd(boundary()));
    FUZZ_CHECK(type && *type == toStd(boundary()), "the service does not read the boundary");
    const auto parsed = server::parseMultipart(toStd(body), *type);
    FUZZ_CHECK(parsed.error.empty(), "the service refused the client's body");
    FUZZ_CHECK(parsed.parts.size() == files.size(), "the part count differs");
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& part = parsed.parts[i];
        const auto& file = files[i];
        FUZZ_CHECK(part.name == std::to_string(file.subsId), "a part's name is not its id");
        FUZZ_CHECK(part.contentType == "text/plain", "a part's content type differs");
        FUZZ_CHECK(part.content == toStd(file.fileData), "a part's bytes differ");
        FUZZ_CHECK(part.fileName.has_value(), "a part lost its file name");
        const QString back = fromUtf8Bytes(*part.fileName);
        FUZZ_CHECK(dispositionFileName(back) == caseFolded(dispositionFileName(file.fileName)),
                   "a file name differs from what the client wrote");
        if (!file.fileName.contains(QLatin1Char('%'))) {
            FUZZ_CHECK(back == file.fileName, "a file name differs");
        }
    }
    return 0;
}
