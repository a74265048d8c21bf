// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/ContainerInput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace lirra::server {

std::unique_ptr<ContainerInput> ContainerInput::open(int fd, std::uint64_t maxBytes,
                                                     Clock::time_point deadline,
                                                     const std::atomic<bool>* stop,
                                                     std::string& error) {
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return nullptr;
    }
    std::unique_ptr<ContainerInput> input(
        new ContainerInput(fd, static_cast<std::uint64_t>(st.st_size), maxBytes, deadline, stop));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    if (buffer) {
        input->avio_ = avio_alloc_context(buffer, kBufferBytes, 0, input.get(),
                                          &ContainerInput::read, nullptr, &ContainerInput::seek);
    }
    if (!input->avio_) {
        av_free(buffer);
        error = "out of memory";
        return nullptr;
    }
    return input;
}

ContainerInput::~ContainerInput() {
    if (avio_) {
        // The buffer may have been replaced by the library; free whichever it holds now.
        av_freep(&avio_->buffer);
        avio_context_free(&avio_);
    }
}

int ContainerInput::read(void* opaque, std::uint8_t* buffer, int size) {
    auto* self = static_cast<ContainerInput*>(opaque);
    if (self->stopped()) return AVERROR_EXIT;
    if (Clock::now() > self->deadline_) {
        self->timedOut_ = true;
        return AVERROR_EXIT;
    }
    if (self->bytesRead_ >= self->maxBytes_) {
        self->hitLimit_ = true;
        return AVERROR_EOF;
    }
    const std::uint64_t left = self->maxBytes_ - self->bytesRead_;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, size));
    while (true) {
        const ssize_t n = ::pread(self->fd_, buffer, want, static_cast<off_t>(self->position_));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return AVERROR(EIO);
        if (n == 0) return AVERROR_EOF;
        self->position_ += static_cast<std::uint64_t>(n);
        self->bytesRead_ += static_cast<std::uint64_t>(n);
        return static_cast<int>(n);
    }
}

std::int64_t ContainerInput::seek(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<ContainerInput*>(opaque);
    const auto size = static_cast<std::int64_t>(self->size_);
    std::int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = static_cast<std::int64_t>(self->position_) + offset;
            break;
        case SEEK_END:
            target = size + offset;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    self->position_ = static_cast<std::uint64_t>(target);
    return target;
}

}  // namespace lirra::server
