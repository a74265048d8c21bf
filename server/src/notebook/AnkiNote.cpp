// SPDX-License-Identifier: GPL-3.0-or-later
#include "notebook/AnkiNote.h"

#include <cstdio>

#include "subtitles/Text.h"

namespace lirra::server::notebook {
namespace {

constexpr char kFront[] =
    "{{#Word}}<div class=\"word\">{{Word}}</div>{{/Word}}"
    "{{^Word}}<div class=\"sentence\">{{Sentence}}</div>{{/Word}}";
constexpr char kBack[] =
    "{{FrontSide}}<hr id=\"answer\">"
    "{{#Word}}<div class=\"sentence\">{{Sentence}}</div>{{/Word}}"
    "<div class=\"translation\">{{Translation}}</div>"
    "{{#Definition}}<div class=\"definition\">{{Definition}}</div>{{/Definition}}"
    "<div class=\"picture\">{{Picture}}</div>{{Audio}}"
    "<div class=\"source\">{{Source}}</div>";
constexpr char kStyle[] =
    ".card { font-family: sans-serif; font-size: 22px; text-align: center; color: #222; "
    "background: #fff; }\n"
    ".word { font-size: 34px; font-weight: bold; }\n"
    ".translation, .definition { margin-top: 12px; color: #555; }\n"
    ".definition { font-size: 18px; text-align: left; display: inline-block; }\n"
    ".picture img { max-width: 100%; margin-top: 12px; border-radius: 6px; }\n"
    ".source { margin-top: 10px; font-size: 13px; color: #999; }\n";

std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

}  // namespace

const std::vector<std::string>& ankiFields() {
    static const std::vector<std::string> fields = {
        "Key", "Word", "Sentence", "Translation", "Definition", "Picture", "Audio", "Source"};
    return fields;
}

nlohmann::json ankiModel() {
    return {{"modelName", kAnkiModel},
            {"inOrderFields", ankiFields()},
            {"css", kStyle},
            {"isCloze", false},
            {"cardTemplates",
             nlohmann::json::array({{{"Name", "Lirra"}, {"Front", kFront}, {"Back", kBack}}})}};
}

std::string ankiKey(std::int64_t itemId) { return "lirra-" + std::to_string(itemId); }

std::string htmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '\'':
                // A field is never an attribute's value: the apostrophe stays as typed.
                out += c;
                break;
            case '\t':
                out += ' ';
                break;
            case '\r':
                if (i + 1 < text.size() && text[i + 1] == '\n') break;
                out += "<br>";
                break;
            case '\n':
                out += "<br>";
                break;
            default:
                // Other control characters have no place in a card.
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += ' ';
                } else {
                    appendHtmlEscaped(out, c);
                }
        }
    }
    return out;
}

std::string clockText(std::int64_t ms) {
    const std::int64_t seconds = ms / 1000;
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

std::string sourceText(const NotebookItem& item) {
    return item.videoName + ", " + clockText(item.entry.startMs);
}

nlohmann::json ankiNoteFields(const NotebookItem& item) {
    return {{"Key", ankiKey(item.id)},
            {"Word", htmlText(item.entry.word)},
            {"Sentence", htmlText(item.entry.text)},
            {"Translation", htmlText(item.entry.translation)},
            {"Definition", htmlText(item.entry.definition)},
            {"Picture", ""},
            {"Audio", ""},
            {"Source", htmlText(sourceText(item))}};
}

std::string mediaFileName(std::int64_t itemId, std::string_view bytes, std::string_view extension) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(fnv1a(bytes)));
    return ankiKey(itemId) + "-" + hash + "." + std::string(extension);
}

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const auto n = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                       static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[n >> 18 & 63];
        out += kAlphabet[n >> 12 & 63];
        out += kAlphabet[n >> 6 & 63];
        out += kAlphabet[n & 63];
    }
    if (i < bytes.size()) {
        std::uint32_t n = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) {
            n |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        }
        out += kAlphabet[n >> 18 & 63];
        out += kAlphabet[n >> 12 & 63];
        out += i + 1 < bytes.size() ? kAlphabet[n >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace lirra::server::notebook
