// SPDX-License-Identifier: GPL-3.0-or-later
// A dictd data file: plain (`NAME.dict`) or dictzip (`NAME.dict.dz`), a gzip file whose FEXTRA
// field holds an "RA" table of independently deflated chunks, so an article is read by
// inflating only the chunks it lies in. Nothing is ever decompressed whole.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ByteSource.h"

namespace lirra::server::dictionary {

class DictData {
  public:
    virtual ~DictData() = default;
    // Size of the uncompressed text.
    virtual std::uint64_t size() const = 0;
    // `length` bytes at `offset` of the uncompressed text; nullopt if the range is outside it or
    // the bytes cannot be read or inflated (a file damaged or changed since it was opened).
    // Safe to call from several threads at once.
    virtual std::optional<std::string> read(std::uint64_t offset, std::uint64_t length) const = 0;
};

std::unique_ptr<DictData> openPlainData(std::unique_ptr<ByteSource> source);

// Reads and checks the gzip header and the chunk table; null with `error` set for anything
// that is not a well-formed dictzip file (a plain gzip file among them).
std::unique_ptr<DictData> openDictZip(std::unique_ptr<ByteSource> source, std::string& error);

}  // namespace lirra::server::dictionary
