// SPDX-License-Identifier: GPL-3.0-or-later
// dictd dictionaries made by the tests: an index and plain or dictzip data, the dictzip chunks
// deflated with zlib here as dictzip does (a full flush after each chunk), in a temporary folder.
#pragma once

#include <string>
#include <vector>

#include "media/MediaFiles.h"

namespace lirra::server::dictionary::test {

using server::test::MediaFolder;

struct Article {
    std::string key, text;  // as the index holds it; the article's bytes
};

struct DictdFiles {
    std::string index, data;  // the data uncompressed
};

// Articles from "KEY=TEXT" each.
std::vector<Article> keyed(const std::vector<std::string>& entries);

// Articles in the given order in the data, index lines sorted by key.
DictdFiles buildDictd(const std::vector<Article>& articles);

// dictd's base64 number.
std::string indexNumber(unsigned long long value);

// `data` as a dictzip file with chunks of `chunkLength` bytes; with a name, the gzip header
// holds it and a comment too, as dictzip writes them for a file it was given.
std::string dictzip(const std::string& data, unsigned chunkLength, const std::string& name = {});

// Writes DIR/ID.index and DIR/ID.dict.dz (or DIR/ID.dict when chunkLength is 0) under `folder`,
// DIR made when missing.
void writeDictionary(const MediaFolder& folder, const std::string& dir, const std::string& id,
                     const std::vector<Article>& articles, unsigned chunkLength = 4096);

}  // namespace lirra::server::dictionary::test
