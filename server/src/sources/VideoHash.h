// SPDX-License-Identifier: GPL-3.0-or-later
// The client's 64-bit video hash, computed by the service over a file it opened: the size plus
// the little-endian 64-bit words of the first and the last 64 KiB, wrapping modulo 2^64. Files
// under 64 KiB have no hash, as on the client.
#pragma once

#include <cstdint>
#include <optional>

namespace lirra::server {

constexpr std::uint64_t kVideoHashBlock = 65536;

// Reads 2 x 64 KiB of `fd` with pread; none when the file is short or a read fails.
std::optional<std::uint64_t> videoHashOfFile(int fd, std::uint64_t size);

}  // namespace lirra::server
