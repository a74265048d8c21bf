// SPDX-License-Identifier: GPL-3.0-or-later
// The dictzip reader. Any bytes as a .dict.dz: refused with a reason, or every read is either
// refused or exactly as long as asked. A dictzip file made here from any text with any chunk
// size: every range reads back as the text, and with one byte damaged nothing breaks.
#include <fuzzer/FuzzedDataProvider.h>
#include <zlib.h>

#include "DictData.h"
#include "FuzzCheck.h"

namespace {

void put16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

std::string dictzip(const std::string& text, unsigned chunkLength) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string body;
    std::vector<unsigned> sizes;
    for (std::size_t at = 0; at < text.size(); at += chunkLength) {
        const std::size_t length = std::min<std::size_t>(chunkLength, text.size() - at);
        std::string out(deflateBound(&stream, length) + 64, '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data() + at));
        stream.avail_in = static_cast<uInt>(length);
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, Z_FULL_FLUSH);
        out.resize(out.size() - stream.avail_out);
        sizes.push_back(static_cast<unsigned>(out.size()));
        body += out;
    }
    deflateEnd(&stream);
    std::string file("\x1f\x8b\x08\x04\0\0\0\0\x02\x03", 10);
    put16(file, 10 + 2 * static_cast<unsigned>(sizes.size()));
    file += "RA";
    put16(file, 6 + 2 * static_cast<unsigned>(sizes.size()));
    put16(file, 1);
    put16(file, chunkLength);
    put16(file, static_cast<unsigned>(sizes.size()));
    for (unsigned size : sizes) put16(file, size);
    file += body;
    const auto crc =
        crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
    put16(file, crc & 0xFFFF);
    put16(file, (crc >> 16) & 0xFFFF);
    put16(file, text.size() & 0xFFFF);
    put16(file, (text.size() >> 16) & 0xFFFF);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra::server::dictionary;
    FuzzedDataProvider provider(data, size);
    const bool made = provider.ConsumeBool();
    const unsigned chunkLength = provider.ConsumeIntegralInRange<unsigned>(1, 4096);
    const bool damage = provider.ConsumeBool();
    std::pair<std::uint64_t, std::uint64_t> ranges[4];
    for (auto& range : ranges) {
        range.first = provider.ConsumeIntegralInRange<std::uint64_t>(0, 9000);
        range.second = provider.ConsumeIntegralInRange<std::uint64_t>(0, 9000);
    }
    const std::size_t damageAt = provider.ConsumeIntegral<std::size_t>();
    const std::string payload = provider.ConsumeRemainingBytesAsString();
    std::string file = payload;
    if (made) {
        if (payload.empty()) return 0;
        file = dictzip(payload, chunkLength);
        if (damage) file[damageAt % file.size()] ^= 0x5A;
    }
    std::string error;
    const auto dictData = openDictZip(lirra::server::dictionary::memorySource(file), error);
    if (!dictData) {
        FUZZ_CHECK(!error.empty(), "a file refused without a reason");
        FUZZ_CHECK(!made || damage, "a well-formed dictzip file refused");
        return 0;
    }
    if (made && !damage) FUZZ_CHECK(dictData->size() == payload.size(), "the wrong size");
    for (const auto& [offset, length] : ranges) {
        const auto text = dictData->read(offset, length);
        const bool inside = offset <= dictData->size() && length <= dictData->size() - offset;
        if (!inside) FUZZ_CHECK(!text, "a read outside the text");
        if (!text) {
            FUZZ_CHECK(!inside || (made && damage) || !made, "a sound range not read");
            continue;
        }
        FUZZ_CHECK(text->size() == length, "a read of the wrong length");
        if (made && !damage) {
            FUZZ_CHECK(*text == payload.substr(offset, length), "a read that differs");
        }
    }
    return 0;
}
