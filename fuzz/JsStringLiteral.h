// SPDX-License-Identifier: GPL-3.0-or-later
// An exact reader of one single-quoted JavaScript string literal (ECMAScript 2019 and later,
// strict mode: no legacy octal escapes), independent of the code under test.
#pragma once

#include <QString>
#include <optional>

namespace lirra::fuzz {

inline bool isJsLineTerminator(char16_t c) {
    return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

inline int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads the literal that starts at `pos` and leaves `pos` just after its closing quote; none
// when the text there is not a valid literal.
inline std::optional<QString> readJsStringLiteral(const QString& text, qsizetype& pos) {
    const qsizetype n = text.size();
    auto at = [&](qsizetype i) -> char16_t { return i < n ? text[i].unicode() : char16_t{0}; };
    if (pos >= n || at(pos) != u'\'') return std::nullopt;
    ++pos;
    QString value;
    while (true) {
        if (pos >= n) return std::nullopt;  // unterminated
        const char16_t c = at(pos);
        if (c == u'\'') {
            ++pos;
            return value;
        }
        if (c == u'\n' || c == u'\r') return std::nullopt;  // U+2028/9 are allowed raw
        if (c != u'\\') {
            value += QChar(c);
            ++pos;
            continue;
        }
        if (pos + 1 >= n) return std::nullopt;
        const char16_t e = at(pos + 1);
        pos += 2;
        switch (e) {
            case u'\'':
            case u'"':
            case u'\\':
                value += QChar(e);
                continue;
            case u'b':
                value += QChar(u'\b');
                continue;
            case u'f':
                value += QChar(u'\f');
                continue;
            case u'n':
                value += QChar(u'\n');
                continue;
            case u'r':
                value += QChar(u'\r');
                continue;
            case u't':
                value += QChar(u'\t');
                continue;
            case u'v':
                value += QChar(u'\v');
                continue;
            case u'\r':
                if (pos < n && at(pos) == u'\n') ++pos;  // a line continuation: nothing
                continue;
            case u'\n':
            case 0x2028:
            case 0x2029:
                continue;
            case u'0':
                if (pos < n && at(pos) >= u'0' && at(pos) <= u'9') return std::nullopt;
                value += QChar(u'\0');
                continue;
            case u'x': {
                const int hi = hexDigit(at(pos)), lo = hexDigit(at(pos + 1));
                if (pos + 1 >= n || hi < 0 || lo < 0) return std::nullopt;
                value += QChar(static_cast<char16_t>(hi * 16 + lo));
                pos += 2;
                continue;
            }
            case u'u': {
                char32_t code = 0;
                if (at(pos) == u'{') {
                    qsizetype i = pos + 1;
                    int digits = 0;
                    for (; i < n && hexDigit(at(i)) >= 0; ++i, ++digits) {
                        code = code * 16 + static_cast<char32_t>(hexDigit(at(i)));
                        if (code > 0x10FFFF) return std::nullopt;
                    }
                    if (digits == 0 || at(i) != u'}' || i >= n) return std::nullopt;
                    pos = i + 1;
                } else {
                    for (int k = 0; k < 4; ++k) {
                        const int d = pos + k < n ? hexDigit(at(pos + k)) : -1;
                        if (d < 0) return std::nullopt;
                        code = code * 16 + static_cast<char32_t>(d);
                    }
                    pos += 4;
                }
                if (code > 0xFFFF) {
                    value += QChar(QChar::highSurrogate(code));
                    value += QChar(QChar::lowSurrogate(code));
                } else {
                    value += QChar(static_cast<char16_t>(code));
                }
                continue;
            }
            default:
                if (e >= u'1' && e <= u'9') return std::nullopt;  // legacy octal, \8, \9
                value += QChar(e);  // a non-escape character stands for itself
                continue;
        }
    }
}

// The value of `text` when all of it is exactly one literal.
inline std::optional<QString> jsStringLiteralValue(const QString& text) {
    qsizetype pos = 0;
    auto value = readJsStringLiteral(text, pos);
    if (!value || pos != text.size()) return std::nullopt;
    return value;
}

}  // namespace lirra::fuzz
