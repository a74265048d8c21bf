// SPDX-License-Identifier: GPL-3.0-or-later
// A dictd index (`NAME.index`): one line per entry, "key TAB offset TAB length", the numbers in
// dictd's base64 digits, lines sorted by key byte for byte. Parsing checks every line once, so
// a look-up is a binary search that can only give ranges inside the data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirra::server::dictionary {

struct IndexEntry {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

class DictIndex {
  public:
    static constexpr std::size_t kMaxBytes = 256u << 20;

    // Null with `error` set when a line is malformed, points past `dataSize` (the size of the
    // uncompressed data) or breaks the order, or the index is empty or too large.
    static std::optional<DictIndex> parse(std::string bytes, std::uint64_t dataSize,
                                          std::string& error);

    // Entries under exactly `key`, in index order, at most `max`.
    std::vector<IndexEntry> find(std::string_view key, std::size_t max) const;
    bool contains(std::string_view key) const;

    // Distinct keys, dictd's own "00database…" / "00-database-…" entries left out.
    std::size_t headwordCount() const { return headwords_; }
    std::size_t lineCount() const { return lines_.size(); }

  private:
    std::string_view keyAt(std::size_t line) const;
    std::size_t lowerBound(std::string_view key) const;

    std::string bytes_;
    std::vector<std::uint32_t> lines_;  // where each line starts in bytes_
    std::size_t headwords_ = 0;
};

// One base64 number of an index line; empty, longer than 10 digits or not a digit: nullopt.
std::optional<std::uint64_t> decodeIndexNumber(std::string_view digits);

}  // namespace lirra::server::dictionary
