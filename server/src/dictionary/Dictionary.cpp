// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dictionary.h"

#include "TextFold.h"

namespace lirra::server::dictionary {
namespace {

constexpr std::size_t kMaxShortName = 120;

bool hasFlag(const DictIndex& index, std::string_view name) {
    return index.contains("00-database-" + std::string(name)) ||
           index.contains("00database" + std::string(name));
}

// Spaces single and trimmed, as indexes that keep every character still spell phrases.
std::string singleSpaced(std::string_view text) {
    std::string out;
    bool space = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            space = !out.empty();
            continue;
        }
        if (space) out.push_back(' ');
        space = false;
        out.push_back(c);
    }
    return out;
}

}  // namespace

Dictionary::Dictionary(DictIndex index, std::unique_ptr<DictData> data)
    : index_(std::move(index)), data_(std::move(data)) {
    allCharacters_ = hasFlag(index_, "allchars");
    caseSensitive_ = hasFlag(index_, "case-sensitive") || hasFlag(index_, "casesensitive");
    for (const char* key : {"00-database-short", "00databaseshort"}) {
        const auto entries = index_.find(key, 1);
        if (entries.empty()) continue;
        const auto text = readEntry(entries.front());
        if (!text) continue;
        // The article may repeat its key on the first line; the description is the next one.
        std::size_t start = 0;
        while (start < text->size()) {
            auto end = text->find('\n', start);
            if (end == std::string::npos) end = text->size();
            const std::string line =
                singleSpaced(std::string_view(*text).substr(start, end - start));
            start = end + 1;
            if (line.empty() || line == key) continue;
            shortName_ = line.substr(0, kMaxShortName);
            shortName_ = cleanText(shortName_, false);  // a cut may split a character
            break;
        }
        break;
    }
}

std::unique_ptr<Dictionary> Dictionary::open(const std::string& indexPath,
                                             const std::string& dataPath, std::string& error) {
    auto source = openFileSource(dataPath, error);
    if (!source) {
        error = dataPath + ": " + error;
        return nullptr;
    }
    std::unique_ptr<DictData> data;
    if (dataPath.ends_with(".dz")) {
        data = openDictZip(std::move(source), error);
        if (!data) {
            error = dataPath + ": " + error;
            return nullptr;
        }
    } else {
        data = openPlainData(std::move(source));
    }
    std::string bytes;
    if (!readWholeFile(indexPath, DictIndex::kMaxBytes, bytes, error)) {
        error = indexPath + ": " + error;
        return nullptr;
    }
    auto index = DictIndex::parse(std::move(bytes), data->size(), error);
    if (!index) {
        error = indexPath + ": " + error;
        return nullptr;
    }
    return fromParts(std::move(*index), std::move(data));
}

std::unique_ptr<Dictionary> Dictionary::fromParts(DictIndex index, std::unique_ptr<DictData> data) {
    return std::unique_ptr<Dictionary>(new Dictionary(std::move(index), std::move(data)));
}

std::string Dictionary::key(std::string_view text) const {
    if (!allCharacters_) return alnumKey(text);
    return singleSpaced(caseSensitive_ ? cleanText(text, false) : foldCase(text));
}

bool Dictionary::contains(std::string_view text) const { return index_.contains(key(text)); }

std::optional<std::string> Dictionary::readEntry(const IndexEntry& entry) const {
    const std::uint64_t length = std::min<std::uint64_t>(entry.length, kMaxArticleBytes);
    auto bytes = data_->read(entry.offset, length);
    if (!bytes) return std::nullopt;
    return cleanText(*bytes, true);
}

std::vector<std::string> Dictionary::articles(std::string_view text, std::size_t max) const {
    std::vector<std::string> out;
    for (const auto& entry : index_.find(key(text), max)) {
        if (auto article = readEntry(entry)) out.push_back(std::move(*article));
    }
    return out;
}

}  // namespace lirra::server::dictionary
