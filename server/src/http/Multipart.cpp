// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/Multipart.h"

#include "subtitles/Text.h"

namespace lirra::server {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && asciiLower(s.substr(0, prefix.size())) == prefix;
}

// Parameters after the first ';' of a header value: name=token or name="quoted".
// A backslash inside quotes is literal, as browsers and our client write file names.
bool parseParameters(std::string_view value,
                     std::vector<std::pair<std::string, std::string>>& params) {
    auto semi = value.find(';');
    if (semi == std::string_view::npos) return true;
    std::string_view rest = value.substr(semi + 1);
    while (true) {
        rest = trim(rest);
        if (rest.empty()) return true;
        const auto eq = rest.find('=');
        if (eq == std::string_view::npos) return false;
        std::string name = asciiLower(trim(rest.substr(0, eq)));
        rest = trim(rest.substr(eq + 1));
        std::string val;
        if (!rest.empty() && rest.front() == '"') {
            const auto close = rest.find('"', 1);
            if (close == std::string_view::npos) return false;
            val = std::string(rest.substr(1, close - 1));
            rest = trim(rest.substr(close + 1));
            if (!rest.empty() && rest.front() != ';') return false;
        } else {
            const auto next = rest.find(';');
            val = std::string(trim(rest.substr(0, next)));
            rest = next == std::string_view::npos ? std::string_view{} : rest.substr(next);
        }
        if (name.empty()) return false;
        params.emplace_back(std::move(name), std::move(val));
        if (rest.empty()) return true;
        rest.remove_prefix(1);  // ';'
    }
}

// Only the three escapes that form encoders apply to file names; any other '%' is literal.
std::string decodeFileName(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%' && i + 2 < raw.size()) {
            const std::string code = asciiLower(raw.substr(i + 1, 2));
            if (code == "22" || code == "0d" || code == "0a") {
                out.push_back(code == "22" ? '"' : code == "0d" ? '\r' : '\n');
                i += 2;
                continue;
            }
        }
        out.push_back(raw[i]);
    }
    return out;
}

std::string parsePart(std::string_view region, const MultipartLimits& limits, MultipartPart& part) {
    const auto headerEnd = region.find("\r\n\r\n");
    if (region.substr(0, 2) == "\r\n" || headerEnd == std::string_view::npos) {
        return "a part has no headers";
    }
    if (headerEnd > limits.maxHeaderBytes) return "a part's headers are too long";
    std::string_view headers = region.substr(0, headerEnd);
    part.content = std::string(region.substr(headerEnd + 4));
    bool haveDisposition = false;
    while (!headers.empty()) {
        auto eol = headers.find("\r\n");
        std::string_view line = headers.substr(0, eol);
        headers = eol == std::string_view::npos ? std::string_view{} : headers.substr(eol + 2);
        if (line.empty() || line.front() == ' ' || line.front() == '\t') {
            return "a part header is malformed";
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) return "a part header is malformed";
        const std::string name = asciiLower(trim(line.substr(0, colon)));
        const std::string_view value = trim(line.substr(colon + 1));
        if (name == "content-type") {
            part.contentType = std::string(value);
        } else if (name == "content-disposition") {
            if (haveDisposition) return "a part has two Content-Disposition headers";
            haveDisposition = true;
            if (!startsWithNoCase(value, "form-data")) return "a part is not form-data";
            std::vector<std::pair<std::string, std::string>> params;
            if (!parseParameters(value, params)) return "a part's Content-Disposition is malformed";
            bool haveName = false;
            for (auto& [key, val] : params) {
                if (key == "name") {
                    part.name = val;
                    haveName = true;
                } else if (key == "filename") {
                    part.fileName = decodeFileName(val);
                }
            }
            if (!haveName) return "a part has no name";
        }
    }
    if (!haveDisposition) return "a part has no Content-Disposition";
    if (!isValidUtf8(part.name) || (part.fileName && !isValidUtf8(*part.fileName))) {
        return "a part's name is not valid UTF-8";
    }
    return {};
}

}  // namespace

std::optional<std::string> multipartBoundary(std::string_view contentType) {
    if (!startsWithNoCase(trim(contentType), "multipart/form-data")) return std::nullopt;
    std::vector<std::pair<std::string, std::string>> params;
    if (!parseParameters(contentType, params)) return std::nullopt;
    for (auto& [key, val] : params) {
        if (key == "boundary") {
            if (val.empty() || val.size() > 70) return std::nullopt;
            return val;
        }
    }
    return std::nullopt;
}

MultipartBody parseMultipart(std::string_view body, std::string_view boundary,
                             const MultipartLimits& limits) {
    MultipartBody result;
    const std::string dash = "--" + std::string(boundary);
    const std::string delimiter = "\r\n" + dash;
    std::size_t pos;
    if (body.substr(0, dash.size()) == dash) {
        pos = dash.size();
    } else {
        const auto first = body.find(delimiter);
        if (first == std::string_view::npos) {
            result.error = "the body has no opening boundary";
            return result;
        }
        pos = first + delimiter.size();
    }
    while (true) {
        if (body.substr(pos, 2) == "--") return result;  // closing delimiter; epilogue ignored
        while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t')) ++pos;
        if (body.substr(pos, 2) != "\r\n") {
            result.parts.clear();
            result.error = "a boundary line is malformed";
            return result;
        }
        pos += 2;
        // A delimiter is only one when "--" or the end of its line follows; content may hold
        // look-alikes such as "\r\n--B2".
        auto next = body.find(delimiter, pos);
        while (next != std::string_view::npos) {
            auto after = next + delimiter.size();
            if (body.substr(after, 2) == "--") break;
            while (after < body.size() && (body[after] == ' ' || body[after] == '\t')) ++after;
            if (body.substr(after, 2) == "\r\n") break;
            next = body.find(delimiter, next + 1);
        }
        if (next == std::string_view::npos) {
            result.parts.clear();
            result.error = "the body ends before its closing boundary";
            return result;
        }
        const auto region = body.substr(pos, next - pos);
        pos = next + delimiter.size();
        if (region.empty()) continue;
        if (result.parts.size() == limits.maxParts) {
            result.parts.clear();
            result.error = "too many parts";
            return result;
        }
        MultipartPart part;
        if (auto error = parsePart(region, limits, part); !error.empty()) {
            result.parts.clear();
            result.error = std::move(error);
            return result;
        }
        result.parts.push_back(std::move(part));
    }
}

}  // namespace lirra::server
