// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/Form.h"

#include "subtitles/Text.h"

namespace lirra::server {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool decodeFormComponent(std::string_view in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%') {
            if (i + 2 >= in.size()) return false;
            const int hi = hexValue(in[i + 1]);
            const int lo = hexValue(in[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return true;
}

Form parseForm(std::string_view body) {
    Form form;
    std::size_t pos = 0;
    while (pos <= body.size()) {
        auto end = body.find('&', pos);
        if (end == std::string_view::npos) end = body.size();
        const auto piece = body.substr(pos, end - pos);
        pos = end + 1;
        if (piece.empty()) continue;
        const auto eq = piece.find('=');
        std::string name, value;
        const auto rawName = piece.substr(0, eq);
        const auto rawValue =
            eq == std::string_view::npos ? std::string_view{} : piece.substr(eq + 1);
        if (!decodeFormComponent(rawName, name) || !decodeFormComponent(rawValue, value)) {
            form.error = "malformed percent-encoding in the form";
            return form;
        }
        if (!isValidUtf8(name) || !isValidUtf8(value)) {
            form.error = "the form is not valid UTF-8";
            return form;
        }
        if (name.empty()) {
            form.error = "a form field has no name";
            return form;
        }
        if (!form.fields.emplace(std::move(name), std::move(value)).second) {
            form.error = "a form field is repeated";
            return form;
        }
    }
    return form;
}

}  // namespace lirra::server
