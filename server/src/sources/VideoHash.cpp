// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/VideoHash.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace lirra::server {
namespace {

bool readBlock(int fd, std::uint64_t offset, unsigned char* out) {
    std::uint64_t filled = 0;
    while (filled < kVideoHashBlock) {
        const ssize_t n = ::pread(fd, out + filled, kVideoHashBlock - filled,
                                  static_cast<off_t>(offset + filled));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        filled += static_cast<std::uint64_t>(n);
    }
    return true;
}

std::uint64_t sumOfWords(const unsigned char* block) {
    std::uint64_t sum = 0;
    for (std::uint64_t at = 0; at < kVideoHashBlock; at += 8) {
        std::uint64_t word = 0;
        for (int k = 7; k >= 0; --k) word = (word << 8) | block[at + static_cast<unsigned>(k)];
        sum += word;
    }
    return sum;
}

}  // namespace

std::optional<std::uint64_t> videoHashOfFile(int fd, std::uint64_t size) {
    if (size < kVideoHashBlock) return std::nullopt;
    std::vector<unsigned char> block(kVideoHashBlock);
    std::uint64_t hash = size;
    if (!readBlock(fd, 0, block.data())) return std::nullopt;
    hash += sumOfWords(block.data());
    if (!readBlock(fd, size - kVideoHashBlock, block.data())) return std::nullopt;
    hash += sumOfWords(block.data());
    return hash;
}

}  // namespace lirra::server
