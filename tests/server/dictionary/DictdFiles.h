// dictd dictionaries made by the tests: an index and plain or dictzip data, the dictzip
// chunks deflated with zlib here as dictzip does (a full flush after each chunk).
#pragma once

#include <string>
#include <vector>

namespace lirra::server::dictionary::test {

struct Article {
    std::string key;   // as the index holds it
    std::string text;  // the article's bytes
};

struct DictdFiles {
    std::string index;
    std::string data;  // uncompressed
};

// Articles in the given order in the data; index lines sorted by key unless `sorted` is false.
DictdFiles buildDictd(const std::vector<Article>& articles, bool sorted = true);

// dictd's base64 number.
std::string indexNumber(unsigned long long value);

// `data` as a dictzip file with chunks of `chunkLength` bytes.
std::string dictzip(const std::string& data, unsigned chunkLength);

// Writes FOLDER/ID.index and FOLDER/ID.dict.dz (or FOLDER/ID.dict when chunkLength is 0).
void writeDictionary(const std::string& folder, const std::string& id,
                     const std::vector<Article>& articles, unsigned chunkLength = 4096);

std::string makeTempDir();
void removeTree(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

}  // namespace lirra::server::dictionary::test
