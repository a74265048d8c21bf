// SPDX-License-Identifier: GPL-3.0-or-later
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <list>
#include <mutex>
#include <vector>

#include "DictData.h"

namespace lirra::server::dictionary {
namespace {

// Per dictionary: about 1 MiB of recent text, as a look-up reads a few articles of each form.
constexpr std::size_t kCachedChunks = 16;

class PlainData final : public DictData {
  public:
    explicit PlainData(std::unique_ptr<ByteSource> source) : source_(std::move(source)) {}
    std::uint64_t size() const override { return source_->size(); }
    std::optional<std::string> read(std::uint64_t offset, std::uint64_t length) const override {
        if (offset > size() || length > size() - offset) return std::nullopt;
        std::string out(static_cast<std::size_t>(length), '\0');
        if (!source_->readAt(offset, out.size(), out.data())) return std::nullopt;
        return out;
    }

  private:
    std::unique_ptr<ByteSource> source_;
};

struct Chunk {
    std::uint64_t offset;  // in the file
    std::uint32_t size;    // compressed
};

class DictZipData final : public DictData {
  public:
    DictZipData(std::unique_ptr<ByteSource> source, std::uint32_t chunkLength,
                std::vector<Chunk> chunks, std::uint64_t size)
        : source_(std::move(source)),
          chunkLength_(chunkLength),
          chunks_(std::move(chunks)),
          size_(size) {}

    std::uint64_t size() const override { return size_; }

    std::optional<std::string> read(std::uint64_t offset, std::uint64_t length) const override {
        if (offset > size_ || length > size_ - offset) return std::nullopt;
        std::string out;
        out.reserve(static_cast<std::size_t>(length));
        while (length > 0) {
            const std::size_t index = static_cast<std::size_t>(offset / chunkLength_);
            const std::size_t within = static_cast<std::size_t>(offset % chunkLength_);
            const std::size_t take = static_cast<std::size_t>(
                std::min<std::uint64_t>(length, expectedLength(index) - within));
            const auto chunk = inflated(index, within + take);
            if (!chunk) return std::nullopt;
            out.append(*chunk, within, take);
            offset += take;
            length -= take;
        }
        return out;
    }

    bool lastChunkMatches() const {
        const std::size_t last = chunks_.size() - 1;
        const auto chunk = inflate(last, expectedLength(last) + 1);
        return chunk && chunk->size() == expectedLength(last);
    }

  private:
    std::size_t expectedLength(std::size_t index) const {
        if (index + 1 < chunks_.size()) return chunkLength_;
        return static_cast<std::size_t>(size_ - std::uint64_t{chunkLength_} * index);
    }

    // At least the first `needed` bytes of a chunk. Deflate only runs forwards, so a chunk is
    // inflated up to what is needed and again further when a later read needs more.
    std::shared_ptr<const std::string> inflated(std::size_t index, std::size_t needed) const {
        {
            std::lock_guard lock(mutex_);
            for (auto it = cache_.begin(); it != cache_.end(); ++it) {
                if (it->first != index) continue;
                cache_.splice(cache_.begin(), cache_, it);
                if (it->second->size() >= needed) return it->second;
                break;
            }
        }
        auto chunk = inflate(index, needed);
        if (!chunk || chunk->size() < needed) return nullptr;
        std::lock_guard lock(mutex_);
        std::erase_if(cache_, [&](const auto& entry) { return entry.first == index; });
        cache_.emplace_front(index, chunk);
        if (cache_.size() > kCachedChunks) cache_.pop_back();
        return chunk;
    }

    // Up to `wanted` bytes of a chunk, fewer where it ends; null if zlib finds it damaged. Each
    // chunk was deflated up to a full flush, so it inflates on its own as raw deflate.
    std::shared_ptr<const std::string> inflate(std::size_t index, std::size_t wanted) const {
        const Chunk& chunk = chunks_[index];
        std::string compressed(chunk.size, '\0');
        if (!source_->readAt(chunk.offset, compressed.size(), compressed.data())) return nullptr;
        auto out = std::make_shared<std::string>(wanted, '\0');
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return nullptr;
        stream.next_in = reinterpret_cast<Bytef*>(compressed.data());
        stream.avail_in = static_cast<uInt>(compressed.size());
        stream.next_out = reinterpret_cast<Bytef*>(out->data());
        stream.avail_out = static_cast<uInt>(out->size());
        const int status = ::inflate(&stream, Z_SYNC_FLUSH);
        out->resize(out->size() - stream.avail_out);
        inflateEnd(&stream);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return nullptr;
        return out;
    }

    std::unique_ptr<ByteSource> source_;
    std::uint32_t chunkLength_;
    std::vector<Chunk> chunks_;
    std::uint64_t size_;
    mutable std::mutex mutex_;
    mutable std::list<std::pair<std::size_t, std::shared_ptr<const std::string>>> cache_;
};

std::uint32_t le16(const unsigned char* p) { return p[0] | (std::uint32_t{p[1]} << 8); }
std::uint32_t le32(const unsigned char* p) { return le16(p) | (le16(p + 2) << 16); }

constexpr unsigned char kFlagHeaderCrc = 0x02, kFlagExtra = 0x04, kFlagName = 0x08,
                        kFlagComment = 0x10;
constexpr std::size_t kMaxHeaderText = 4096;  // file name or comment

}  // namespace

std::unique_ptr<DictData> openPlainData(std::unique_ptr<ByteSource> source) {
    return std::make_unique<PlainData>(std::move(source));
}

std::unique_ptr<DictData> openDictZip(std::unique_ptr<ByteSource> source, std::string& error) {
    const std::uint64_t fileSize = source->size();
    // The fixed header, XLEN and the extra field: at most 12 + 65535 bytes.
    std::vector<unsigned char> head(static_cast<std::size_t>(
        std::min<std::uint64_t>(fileSize, 12 + 0xFFFF + 2 * kMaxHeaderText + 2)));
    if (head.size() < 18 || !source->readAt(0, head.size(), reinterpret_cast<char*>(head.data()))) {
        error = "too short for a dictzip file";
        return nullptr;
    }
    if (head[0] != 0x1F || head[1] != 0x8B || head[2] != 8) {
        error = "not a gzip file";
        return nullptr;
    }
    const unsigned char flags = head[3];
    if (!(flags & kFlagExtra)) {
        error = "a gzip file without a dictzip chunk table";
        return nullptr;
    }
    const std::size_t extraLength = le16(&head[10]);
    std::size_t pos = 12;
    if (pos + extraLength > head.size()) {
        error = "the gzip extra field runs past the end";
        return nullptr;
    }
    const std::size_t extraEnd = pos + extraLength;
    std::uint32_t chunkLength = 0, chunkCount = 0;
    std::vector<std::uint32_t> sizes;
    while (pos + 4 <= extraEnd) {
        const std::size_t fieldLength = le16(&head[pos + 2]);
        const std::size_t data = pos + 4;
        if (data + fieldLength > extraEnd) break;
        if (head[pos] == 'R' && head[pos + 1] == 'A' && fieldLength >= 6) {
            const std::uint32_t version = le16(&head[data]);
            chunkLength = le16(&head[data + 2]);
            chunkCount = le16(&head[data + 4]);
            if (version != 1 || chunkLength == 0 || chunkCount == 0 ||
                fieldLength != 6 + 2 * std::size_t{chunkCount}) {
                error = "a malformed dictzip chunk table";
                return nullptr;
            }
            for (std::uint32_t i = 0; i < chunkCount; ++i) {
                sizes.push_back(le16(&head[data + 6 + 2 * i]));
            }
            break;
        }
        pos = data + fieldLength;
    }
    if (sizes.empty()) {
        error = "a gzip file without a dictzip chunk table";
        return nullptr;
    }
    pos = extraEnd;
    for (const unsigned char flag : {kFlagName, kFlagComment}) {
        if (!(flags & flag)) continue;
        const auto* end = static_cast<const unsigned char*>(
            std::memchr(head.data() + pos, 0, std::min(head.size() - pos, kMaxHeaderText)));
        if (!end) {
            error = "an unterminated gzip file name or comment";
            return nullptr;
        }
        pos = static_cast<std::size_t>(end - head.data()) + 1;
    }
    if (flags & kFlagHeaderCrc) pos += 2;

    std::vector<Chunk> chunks;
    chunks.reserve(sizes.size());
    std::uint64_t offset = pos;
    for (const std::uint32_t size : sizes) {
        if (size == 0) {
            error = "a dictzip chunk of no bytes";
            return nullptr;
        }
        chunks.push_back({offset, size});
        offset += size;
    }
    // The compressed chunks, then the gzip trailer: CRC-32 and the size modulo 2^32.
    if (offset + 8 > fileSize) {
        error = "truncated: the chunks run past the end of the file";
        return nullptr;
    }
    unsigned char trailer[4];
    if (!source->readAt(fileSize - 4, 4, reinterpret_cast<char*>(trailer))) {
        error = "the gzip trailer cannot be read";
        return nullptr;
    }
    const std::uint64_t full = std::uint64_t{chunkLength} * (chunkCount - 1);
    const std::uint32_t last = static_cast<std::uint32_t>(le32(trailer) - full);  // mod 2^32
    if (last == 0 || last > chunkLength) {
        error = "the gzip trailer's size does not match the chunk table";
        return nullptr;
    }
    auto data = std::make_unique<DictZipData>(std::move(source), chunkLength, std::move(chunks),
                                              full + last);
    // The last chunk must inflate to exactly the size the trailer gives: a file cut short or
    // with a wrong trailer is refused now rather than failing article by article.
    if (!data->lastChunkMatches()) {
        error = "the last chunk does not match the gzip trailer's size";
        return nullptr;
    }
    return data;
}

}  // namespace lirra::server::dictionary
