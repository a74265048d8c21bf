// SPDX-License-Identifier: GPL-3.0-or-later
#include "ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lirra::server::dictionary {
namespace {

class FileSource final : public ByteSource {
  public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t size() const override { return size_; }

    bool readAt(std::uint64_t offset, std::size_t length, char* out) const override {
        if (offset > size_ || length > size_ - offset) return false;
        while (length > 0) {
            const ssize_t got = ::pread(fd_, out, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            out += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }

  private:
    int fd_;
    std::uint64_t size_;
};

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool readAt(std::uint64_t offset, std::size_t length, char* out) const override {
        if (offset > bytes_.size() || length > bytes_.size() - offset) return false;
        std::memcpy(out, bytes_.data() + offset, length);
        return true;
    }

  private:
    std::string bytes_;
};

int openRegular(const std::string& path, std::uint64_t& size, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return -1;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return fd;
}

}  // namespace

std::unique_ptr<ByteSource> openFileSource(const std::string& path, std::string& error) {
    std::uint64_t size = 0;
    const int fd = openRegular(path, size, error);
    if (fd < 0) return nullptr;
    return std::make_unique<FileSource>(fd, size);
}

std::unique_ptr<ByteSource> memorySource(std::string bytes) {
    return std::make_unique<MemorySource>(std::move(bytes));
}

bool readWholeFile(const std::string& path, std::size_t maxBytes, std::string& out,
                   std::string& error) {
    std::uint64_t size = 0;
    const int fd = openRegular(path, size, error);
    if (fd < 0) return false;
    const FileSource file(fd, size);
    if (size > maxBytes) {
        error = "larger than " + std::to_string(maxBytes >> 20) + " MiB";
        return false;
    }
    out.resize(static_cast<std::size_t>(size));
    if (!file.readAt(0, out.size(), out.data())) {
        error = "could not be read whole";
        return false;
    }
    return true;
}

}  // namespace lirra::server::dictionary
