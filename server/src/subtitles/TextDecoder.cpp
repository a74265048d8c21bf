// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/TextDecoder.h"

#include <errno.h>
#include <iconv.h>
#include <uchardet/uchardet.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

#include "subtitles/LanguageLetters.h"
#include "subtitles/Text.h"

namespace lirra::server {
namespace {

constexpr std::size_t kMaxControlShare = 10;  // one character in ten: not text beyond that

bool convert(std::string_view bytes, const char* from, std::string& out, const char* to = "UTF-8") {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
    out.clear();
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[16384];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) return false;  // EILSEQ, EINVAL
    }
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        return false;
    }
    out.append(buffer, sizeof buffer - outLeft);
    return true;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// UTF-16 text of Latin letters has a zero in every other byte; uchardet does not look for it.
const char* utf16WithoutBom(std::string_view bytes) {
    if (bytes.size() < 4 || bytes.size() % 2 != 0) return nullptr;
    const std::size_t n = std::min<std::size_t>(bytes.size(), 4096);
    std::size_t evenZeros = 0, oddZeros = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] == 0) ++(i % 2 == 0 ? evenZeros : oddZeros);
    }
    const std::size_t pairs = n / 2;
    if (oddZeros * 10 >= pairs * 4 && evenZeros * 20 < pairs) return "UTF-16LE";
    if (evenZeros * 10 >= pairs * 4 && oddZeros * 20 < pairs) return "UTF-16BE";
    return nullptr;
}

std::string detect(std::string_view bytes) {
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> ud(uchardet_new(),
                                                                                uchardet_delete);
    if (!ud) return {};
    if (uchardet_handle_data(ud.get(), bytes.data(), bytes.size()) != 0) return {};
    uchardet_data_end(ud.get());
    const char* charset = uchardet_get_charset(ud.get());
    return charset ? std::string(charset) : std::string();
}

// Counts control characters (C0 but tab, line feed, carriage return and form feed; C1)
// against all characters: binary data read as text is full of them, text holds one now and then.
bool isMostlyControls(std::string_view utf8) {
    std::size_t characters = 0, controls = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto u = static_cast<unsigned char>(utf8[i]);
        if ((u & 0xC0) != 0x80) ++characters;
        const bool c1 = u == 0xC2 && i + 1 < utf8.size() &&
                        static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f') || c1) {
            ++controls;
        }
    }
    return controls * kMaxControlShare > characters;
}

DecodedText finish(std::string text, std::string encoding) {
    // BOMs that iconv passed through, and a mark repeated after the first (files converted
    // twice): left in, one would hide a "WEBVTT" header.
    std::size_t marks = 0;
    while (text.compare(marks, 3, "\xEF\xBB\xBF") == 0) marks += 3;
    text.erase(0, marks);
    if (isMostlyControls(text)) return {{}, {}, "the file is not text"};
    // As browsers read WebVTT, and so that no NUL reaches the store or a page. Copied once:
    // replacing in place moves the rest of the text at every NUL.
    if (text.find('\0') == std::string::npos) return {std::move(text), std::move(encoding), {}};
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) {
        if (c == '\0')
            out += "\xEF\xBF\xBD";
        else
            out.push_back(c);
    }
    return {std::move(out), std::move(encoding), {}};
}

// uchardet's guess is only one candidate: it takes English with curly quotes for a Mac code page
// and Latin-1 for a Baltic one. Each candidate that decodes is scored by how well it reads as
// the language; ties go to the earlier: the guess when it is usual for the language, then the
// language's usual code pages (windows-1252 first for English and its neighbours), then a
// guess exotic for the language.
DecodedText decodeLegacy(std::string_view bytes, const std::string& guess,
                         const LanguageLetters& language) {
    std::vector<std::string> candidates;
    const auto& usual = language.encodings;
    const bool usualGuess = std::any_of(usual.begin(), usual.end(),
                                        [&](const char* name) { return name && name == guess; });
    if (usualGuess) candidates.push_back(guess);
    for (const char* name : usual) {
        if (name && name != guess) candidates.push_back(name);
    }
    if (!usualGuess) candidates.push_back(guess);
    std::string best, bestName, guessText;
    long bestScore = 0;
    for (const auto& name : candidates) {
        std::string text;
        if (!convert(bytes, name.c_str(), text)) continue;
        const long score = languageFit(text, language);
        if (name == guess) guessText = text;
        if (bestName.empty() || score > bestScore) {
            bestScore = score;
            bestName = name;
            best = std::move(text);
        }
    }
    // Text that reads as the language in no candidate is in another one: the guess knows better.
    if (bestScore <= 0 && !guessText.empty()) return finish(std::move(guessText), guess);
    if (bestName.empty()) return {{}, {}, "the file could not be read as " + guess};
    return finish(std::move(best), bestName);
}

}  // namespace

std::optional<std::string> convertEncoding(std::string_view bytes, const char* from,
                                           const char* to) {
    std::string out;
    if (!convert(bytes, from, out, to)) return std::nullopt;
    return out;
}

DecodedText decodeToUtf8(std::string_view bytes, std::string_view languageCode) {
    struct Bom {
        std::string_view mark;
        const char* encoding;
    };
    // UTF-32LE before UTF-16LE: its mark starts with the same two bytes.
    static const Bom kBoms[] = {
        {{"\xEF\xBB\xBF", 3}, "UTF-8"},        {{"\xFF\xFE\x00\x00", 4}, "UTF-32LE"},
        {{"\x00\x00\xFE\xFF", 4}, "UTF-32BE"}, {{"\xFF\xFE", 2}, "UTF-16LE"},
        {{"\xFE\xFF", 2}, "UTF-16BE"},
    };
    for (const auto& bom : kBoms) {
        if (!startsWith(bytes, bom.mark)) continue;
        const auto rest = bytes.substr(bom.mark.size());
        std::string text;
        if (std::string_view(bom.encoding) == "UTF-8") {
            if (!isValidUtf8(rest)) return {{}, {}, "the file is not valid UTF-8"};
            text = std::string(rest);
        } else if (!convert(rest, bom.encoding, text)) {
            return {{}, {}, std::string("the file is not valid ") + bom.encoding};
        }
        return finish(std::move(text), bom.encoding);
    }
    // Before the UTF-8 test: ASCII in UTF-16 is valid UTF-8 full of NUL characters.
    if (const char* utf16 = utf16WithoutBom(bytes)) {
        std::string text;
        if (convert(bytes, utf16, text)) return finish(std::move(text), utf16);
    }
    if (isValidUtf8(bytes)) return finish(std::string(bytes), "UTF-8");
    const std::string charset = detect(bytes);
    if (charset.empty() || charset == "ASCII" || charset == "UTF-8") {
        return {{}, {}, "the file's encoding could not be recognised"};
    }
    return decodeLegacy(bytes, charset, languageLetters(languageCode));
}

}  // namespace lirra::server
