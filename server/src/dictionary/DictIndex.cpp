// SPDX-License-Identifier: GPL-3.0-or-later
#include "DictIndex.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lirra::server::dictionary {
namespace {

constexpr std::size_t kMaxNumberDigits = 10;  // 60 bits: more than any data file

// dictd's base64 digits: A-Z a-z 0-9 + /.
constexpr std::array<std::int8_t, 256> kDigits = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(digits[i])] = static_cast<std::int8_t>(i);
    return table;
}();

int digitValue(char c) { return kDigits[static_cast<unsigned char>(c)]; }

bool isDatabaseKey(std::string_view key) {
    return key.starts_with("00database") || key.starts_with("00-database-");
}

bool decodeNumber(std::string_view digits, std::uint64_t& value) {
    if (digits.empty() || digits.size() > kMaxNumberDigits) return false;
    value = 0;
    for (char c : digits) {
        const int digit = digitValue(c);
        if (digit < 0) return false;
        value = value * 64 + static_cast<std::uint64_t>(digit);
    }
    return true;
}

struct Fields {
    std::string_view key, offset, length;
};

std::optional<Fields> splitLine(std::string_view line) {
    const auto first = line.find('\t');
    if (first == std::string_view::npos) return std::nullopt;  // an empty key occurs (FreeDict)
    const auto second = line.find('\t', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    auto third = line.find('\t', second + 1);  // a fourth field (the original key) may follow
    if (third == std::string_view::npos) third = line.size();
    return Fields{line.substr(0, first), line.substr(first + 1, second - first - 1),
                  line.substr(second + 1, third - second - 1)};
}

}  // namespace

std::optional<std::uint64_t> decodeIndexNumber(std::string_view digits) {
    std::uint64_t value = 0;
    if (!decodeNumber(digits, value)) return std::nullopt;
    return value;
}

std::optional<DictIndex> DictIndex::parse(std::string bytes, std::uint64_t dataSize,
                                          std::string& error) {
    if (bytes.size() > kMaxBytes) {
        error = "the index is larger than 256 MiB";
        return std::nullopt;
    }
    DictIndex index;
    index.bytes_ = std::move(bytes);
    const char* const begin = index.bytes_.data();
    const char* const end = begin + index.bytes_.size();
    index.lines_.reserve(index.bytes_.size() / 24);  // lines average 25-30 bytes
    // One pass over the bytes: this runs for every line of German's 10 MB before the first
    // look-up in it.
    auto number = [&](const char*& p, std::uint64_t& value) {
        const char* const first = p;
        value = 0;
        int digit;
        while (p < end && (digit = digitValue(*p)) >= 0 &&
               static_cast<std::size_t>(p - first) < kMaxNumberDigits) {
            value = value * 64 + static_cast<std::uint64_t>(digit);
            ++p;
        }
        return p > first && (p == end || digitValue(*p) < 0);
    };
    std::string_view previous;
    std::size_t lineNumber = 0;
    const auto where = [&] { return "line " + std::to_string(lineNumber); };
    for (const char* p = begin; p < end;) {
        ++lineNumber;
        const char* const line = p;
        const void* newline = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        const char* const lineEnd = newline ? static_cast<const char*>(newline) : end;
        if (lineEnd == line) {
            ++p;
            continue;
        }
        const void* tab = std::memchr(line, '\t', static_cast<std::size_t>(lineEnd - line));
        p = tab ? static_cast<const char*>(tab) : lineEnd;
        const std::string_view key(line, static_cast<std::size_t>(p - line));
        std::uint64_t offset = 0, length = 0;
        bool wellFormed =
            p < lineEnd && number(++p, offset) && p < lineEnd && *p == '\t' && number(++p, length);
        if (wellFormed && p < lineEnd && *p == '\t') p = lineEnd;  // a fourth field
        if (p < lineEnd && *p == '\r') ++p;
        wellFormed = wellFormed && p == lineEnd;
        if (!wellFormed) {
            error = where() + " is not \"key TAB offset TAB length\"";
            return std::nullopt;
        }
        p = lineEnd < end ? lineEnd + 1 : end;
        if (offset > dataSize || length > dataSize - offset) {
            error = where() + " points past the end of the data";
            return std::nullopt;
        }
        const bool first = index.lines_.empty();
        if (!first && key < previous) {
            error = "the index is not sorted (" + where() + ")";
            return std::nullopt;
        }
        if ((first || key != previous) && !key.empty() && !isDatabaseKey(key)) ++index.headwords_;
        previous = key;
        index.lines_.push_back(static_cast<std::uint32_t>(line - begin));
    }
    if (index.lines_.empty()) {
        error = "the index is empty";
        return std::nullopt;
    }
    return index;
}

std::string_view DictIndex::keyAt(std::size_t line) const {
    const std::string_view all = bytes_;
    const std::size_t start = lines_[line];
    return all.substr(start, all.find('\t', start) - start);
}

std::size_t DictIndex::lowerBound(std::string_view key) const {
    std::size_t low = 0, high = lines_.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (keyAt(mid) < key) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

std::vector<IndexEntry> DictIndex::find(std::string_view key, std::size_t max) const {
    std::vector<IndexEntry> entries;
    if (key.empty()) return entries;
    for (std::size_t line = lowerBound(key); line < lines_.size() && entries.size() < max; ++line) {
        if (keyAt(line) != key) break;
        const std::string_view all = bytes_;
        std::string_view text = all.substr(lines_[line]);
        text = text.substr(0, text.find('\n'));
        if (text.ends_with('\r')) text.remove_suffix(1);
        const auto fields = splitLine(text);  // checked when parsed
        IndexEntry entry;
        if (fields && decodeNumber(fields->offset, entry.offset) &&
            decodeNumber(fields->length, entry.length)) {
            entries.push_back(entry);
        }
    }
    return entries;
}

bool DictIndex::contains(std::string_view key) const {
    if (key.empty()) return false;
    const std::size_t line = lowerBound(key);
    return line < lines_.size() && keyAt(line) == key;
}

}  // namespace lirra::server::dictionary
