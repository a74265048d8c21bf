// SPDX-License-Identifier: GPL-3.0-or-later
// jsStringLiteral and audioInfoText: whatever the text (any UTF-16, unpaired surrogates
// included), the literal must read back, with an exact reader of the JavaScript grammar, as
// exactly the text, and must carry nothing a page could mistake for markup or a line break.
#include <fuzzer/FuzzedDataProvider.h>

#include <map>
#include <vector>

#include "FuzzCheck.h"
#include "JsStringLiteral.h"
#include "bridge/AudioInfo.h"
#include "bridge/PageEvents.h"

namespace lirra::fuzz {
namespace {

bool needsEscape(char16_t c) {
    return c < 0x20 || c == 0x7F || c == u'\'' || c == u'\\' || c == u'<' || c == u'>' ||
           c == 0x2028 || c == 0x2029 || QChar::isSurrogate(c);
}

void checkLiteral(const QString& text) {
    const QString literal = jsStringLiteral(text);
    const auto value = jsStringLiteralValue(literal);
    FUZZ_CHECK(value.has_value(), "the result is not exactly one string literal");
    FUZZ_CHECK(*value == text, "the literal's value differs from the text");
    for (qsizetype i = 0; i < literal.size(); ++i) {
        const char16_t c = literal[i].unicode();
        FUZZ_CHECK(c >= 0x20 && c != 0x7F && c != u'<' && c != u'>' && c != 0x2028 && c != 0x2029,
                   "a control character, '<', '>' or a line separator stands raw in the literal");
        if (QChar::isHighSurrogate(c)) {
            FUZZ_CHECK(i + 1 < literal.size() && literal[i + 1].isLowSurrogate(),
                       "an unpaired surrogate stands raw in the literal");
            ++i;
        } else {
            FUZZ_CHECK(!QChar::isLowSurrogate(c),
                       "an unpaired surrogate stands raw in the literal");
        }
    }
    bool ordinary = true;
    for (qsizetype i = 0; i < text.size() && ordinary; ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else {
            ordinary = !needsEscape(c);
        }
    }
    if (ordinary) {
        FUZZ_CHECK(literal == QLatin1Char('\'') + text + QLatin1Char('\''),
                   "an ordinary text was escaped");
    }
}

bool expect(const QString& text, qsizetype& pos, QLatin1String word) {
    if (text.mid(pos, word.size()) != word) return false;
    pos += word.size();
    return true;
}

std::optional<long long> readInteger(const QString& text, qsizetype& pos) {
    const qsizetype start = pos;
    if (pos < text.size() && text[pos] == QLatin1Char('-')) ++pos;
    const qsizetype digits = pos;
    while (pos < text.size() && text[pos].unicode() >= u'0' && text[pos].unicode() <= u'9') ++pos;
    if (pos == digits || pos - digits > 10) return std::nullopt;
    return text.mid(start, pos - start).toLongLong();
}

// {audioTracks:{'name':index, ...}, audioTrack:current} read strictly.
void checkAudioInfo(const QStringList& names, const QVector<int>& indexes, int current) {
    const QString info = audioInfoText(names, indexes, current);
    std::map<QString, int> expected;
    for (qsizetype i = 0; i < std::min(names.size(), indexes.size()); ++i) {
        expected[names[i]] = indexes[i];
    }
    std::vector<std::pair<QString, long long>> read;
    qsizetype pos = 0;
    FUZZ_CHECK(expect(info, pos, QLatin1String("{audioTracks:{")), "bad opening");
    while (pos < info.size() && info[pos] != QLatin1Char('}')) {
        auto name = readJsStringLiteral(info, pos);
        FUZZ_CHECK(name.has_value(), "a track name is not a string literal");
        FUZZ_CHECK(expect(info, pos, QLatin1String(":")), "no ':' after a track name");
        const auto index = readInteger(info, pos);
        FUZZ_CHECK(index.has_value(), "a track index is not an integer");
        FUZZ_CHECK(expect(info, pos, QLatin1String(", ")), "no ', ' after a track");
        read.emplace_back(*name, *index);
    }
    FUZZ_CHECK(expect(info, pos, QLatin1String("}, audioTrack:")), "bad track list end");
    const auto track = readInteger(info, pos);
    FUZZ_CHECK(track && *track == current, "the current track differs");
    FUZZ_CHECK(expect(info, pos, QLatin1String("}")) && pos == info.size(), "bad ending");
    FUZZ_CHECK(read.size() == expected.size(), "track count differs");
    auto it = expected.begin();
    for (const auto& [name, index] : read) {
        FUZZ_CHECK(name == it->first && index == it->second, "a track differs");
        ++it;
    }
}

}  // namespace
}  // namespace lirra::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra::fuzz;
    const std::string_view whole(reinterpret_cast<const char*>(data), size);
    checkLiteral(fromUtf16Bytes(whole));
    checkLiteral(fromUtf8Bytes(whole));

    FuzzedDataProvider provider(data, size);
    const int current = provider.ConsumeIntegral<int>();
    QStringList names;
    QVector<int> indexes;
    const int nameCount = provider.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < nameCount; ++i) {
        const bool utf16 = provider.ConsumeBool();
        const std::string bytes = provider.ConsumeRandomLengthString(64);
        names.append(utf16 ? fromUtf16Bytes(bytes) : fromUtf8Bytes(bytes));
    }
    const int indexCount = provider.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < indexCount; ++i) indexes.append(provider.ConsumeIntegral<int>());
    checkAudioInfo(names, indexes, current);
    return 0;
}
