// SPDX-License-Identifier: GPL-3.0-or-later
// The dictd index reader on any bytes: an index is refused with a reason or accepted, and an
// accepted one only ever gives ranges inside the data it was checked against.
#include <fuzzer/FuzzedDataProvider.h>

#include "DictIndex.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra::server::dictionary;
    FuzzedDataProvider provider(data, size);
    const std::uint64_t dataSize = provider.ConsumeIntegralInRange<std::uint64_t>(0, 1u << 20);
    const std::string key = provider.ConsumeRandomLengthString(40);
    const std::string bytes = provider.ConsumeRemainingBytesAsString();
    std::string error;
    const auto index = DictIndex::parse(bytes, dataSize, error);
    if (!index) {
        FUZZ_CHECK(!error.empty(), "an index refused without a reason");
        return 0;
    }
    FUZZ_CHECK(index->lineCount() >= 1, "an accepted index without lines");
    FUZZ_CHECK(index->headwordCount() <= index->lineCount(), "more headwords than lines");
    // The first line's key is found again.
    const std::string first = bytes.substr(
        bytes.find_first_not_of('\n') == std::string::npos ? 0 : bytes.find_first_not_of('\n'));
    const std::string firstKey = first.substr(0, first.find('\t'));
    if (!firstKey.empty()) FUZZ_CHECK(index->contains(firstKey), "the first key is not found");
    for (const std::string& probe : {key, firstKey}) {
        const auto entries = index->find(probe, 64);
        FUZZ_CHECK(index->contains(probe) == !entries.empty(), "contains and find disagree");
        for (const auto& entry : entries) {
            FUZZ_CHECK(entry.offset <= dataSize && entry.length <= dataSize - entry.offset,
                       "an entry outside the data");
        }
    }
    return 0;
}
