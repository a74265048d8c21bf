// SPDX-License-Identifier: GPL-3.0-or-later
#include "DictdFiles.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>

namespace lirra::server::dictionary::test {
std::string indexNumber(unsigned long long value) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    do {
        out.insert(out.begin(), digits[value % 64]);
        value /= 64;
    } while (value > 0);
    return out;
}

std::vector<Article> keyed(const std::vector<std::string>& entries) {
    std::vector<Article> out;
    for (const auto& entry : entries)
        out.push_back({entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1)});
    return out;
}

DictdFiles buildDictd(const std::vector<Article>& articles) {
    DictdFiles files;
    std::vector<std::pair<std::string, std::string>> lines;  // key, line
    for (const auto& article : articles) {
        lines.emplace_back(article.key, article.key + "\t" + indexNumber(files.data.size()) + "\t" +
                                            indexNumber(article.text.size()) + "\n");
        files.data += article.text;
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& line : lines) files.index += line.second;
    return files;
}

std::string dictzip(const std::string& data, unsigned chunkLength, const std::string& name) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string body;
    std::vector<unsigned> sizes;
    for (std::size_t at = 0; at < data.size(); at += chunkLength) {
        const std::size_t length = std::min<std::size_t>(chunkLength, data.size() - at);
        std::string out(deflateBound(&stream, length) + 64, '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
        stream.avail_in = static_cast<uInt>(length);
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        EXPECT_NE(deflate(&stream, at + length >= data.size() ? Z_FINISH : Z_FULL_FLUSH),
                  Z_STREAM_ERROR);
        out.resize(out.size() - stream.avail_out);
        sizes.push_back(static_cast<unsigned>(out.size()));
        body += out;
    }
    deflateEnd(&stream);

    std::string file = "\x1f\x8b\x08";  // gzip, deflate
    // Little-endian, as gzip writes its numbers.
    auto put = [&file](unsigned long value, int bytes) {
        for (int i = 0; i < bytes; ++i) file.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
    };
    file += static_cast<char>(name.empty() ? 0x04 : 0x04 | 0x08 | 0x10);  // FEXTRA, FNAME, FCOMMENT
    put(0, 4);                                                            // time
    file += "\x02\x03";                                                   // best compression, Unix
    put(10 + 2 * sizes.size(), 2);
    file += "RA";
    for (unsigned long n : {6 + 2 * sizes.size(), 1ul, 1ul * chunkLength, sizes.size()})
        put(n, 2);  // the RA field's length, version, chunk length and count
    for (unsigned size : sizes) put(size, 2);
    if (!name.empty()) file += name + '\0' + "made by the tests" + '\0';
    file += body;
    put(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())), 4);
    put(data.size(), 4);
    return file;
}

void writeDictionary(const MediaFolder& folder, const std::string& dir, const std::string& id,
                     const std::vector<Article>& articles, unsigned chunkLength) {
    std::filesystem::create_directories(folder.file(dir));
    const DictdFiles files = buildDictd(articles);
    const std::string stem = dir + "/" + id;
    folder.write(stem + ".index", files.index);
    folder.write(chunkLength ? stem + ".dict.dz" : stem + ".dict",
                 chunkLength ? dictzip(files.data, chunkLength) : files.data);
}

}  // namespace lirra::server::dictionary::test
