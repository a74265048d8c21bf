// SPDX-License-Identifier: GPL-3.0-or-later
// Where a dictionary's bytes come from: a file read in place (positioned reads, so any number of
// threads may read at once) or, for tests and fuzzing, bytes in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace lirra::server::dictionary {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly `length` bytes at `offset` into `out`; false if they are not all there
    // (a file may have shrunk since it was opened).
    virtual bool readAt(std::uint64_t offset, std::size_t length, char* out) const = 0;
};

// Opens a regular file for reading; null with `error` set if it cannot be.
std::unique_ptr<ByteSource> openFileSource(const std::string& path, std::string& error);

std::unique_ptr<ByteSource> memorySource(std::string bytes);

// The whole of a regular file of at most `maxBytes`; false with `error` set otherwise.
bool readWholeFile(const std::string& path, std::size_t maxBytes, std::string& out,
                   std::string& error);

}  // namespace lirra::server::dictionary
