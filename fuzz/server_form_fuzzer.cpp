// SPDX-License-Identifier: GPL-3.0-or-later
// The service's form parser on any body; a parsed form, written again the way the client
// encodes forms, must parse to the same fields.
#include "FuzzCheck.h"
#include "http/Form.h"
#include "service/FormEncoding.h"
#include "subtitles/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra;
    using namespace lirra::fuzz;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    std::string decoded;
    if (server::decodeFormComponent(body, decoded)) {
        FUZZ_CHECK(decoded.size() <= body.size(), "decoding grew the text");
    }
    const server::Form form = server::parseForm(body);
    if (!form.error.empty()) return 0;
    QByteArray rewritten;
    for (const auto& [name, value] : form.fields) {
        FUZZ_CHECK(!name.empty(), "a field without a name");
        FUZZ_CHECK(server::isValidUtf8(name) && server::isValidUtf8(value), "a field is not UTF-8");
        if (!rewritten.isEmpty()) rewritten += '&';
        rewritten += formUrlEncode(fromUtf8Bytes(name)) + '=' + formUrlEncode(fromUtf8Bytes(value));
    }
    const server::Form again = server::parseForm(toStd(rewritten));
    FUZZ_CHECK(again.error.empty(), "the client's encoding of a parsed form is refused");
    FUZZ_CHECK(again.fields == form.fields, "the client's encoding reads back differently");
    return 0;
}
