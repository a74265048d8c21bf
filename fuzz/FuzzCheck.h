// SPDX-License-Identifier: GPL-3.0-or-later
// A broken property is a finding: print what broke and abort, which libFuzzer reports as a
// crash with the input that caused it.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition, what)                                                           \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, (what)); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (false)

namespace lirra::fuzz {

inline QString fromUtf16Bytes(std::string_view bytes) {
    // Raw UTF-16 code units, so that unpaired surrogates and any other unit can occur.
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2);
    return QString(reinterpret_cast<const QChar*>(units.data()),
                   static_cast<qsizetype>(units.size()));
}

inline QString fromUtf8Bytes(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string toStd(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace lirra::fuzz
