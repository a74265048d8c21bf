// SPDX-License-Identifier: GPL-3.0-or-later
// FFmpeg's input over a file descriptor the service opened itself: the library never opens a
// path (so only files the library-folder rules allowed are read), every byte it reads is
// counted, and reading stops once it has read more than a bound or is asked to stop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

struct AVIOContext;

namespace lirra::server {

class ContainerInput {
  public:
    static constexpr int kBufferBytes = 64 * 1024;

    using Clock = std::chrono::steady_clock;

    // `fd` stays the caller's and must stay open while this lives. Reading ends (as at the end
    // of the file) after `maxBytes` or at `deadline`; `stop` (may be null) ends it as soon as it
    // reads true.
    static std::unique_ptr<ContainerInput> open(int fd, std::uint64_t maxBytes,
                                                Clock::time_point deadline,
                                                const std::atomic<bool>* stop, std::string& error);
    ~ContainerInput();
    ContainerInput(const ContainerInput&) = delete;
    ContainerInput& operator=(const ContainerInput&) = delete;

    AVIOContext* context() const { return avio_; }
    std::uint64_t bytesRead() const { return bytesRead_; }
    std::uint64_t fileSize() const { return size_; }
    bool hitLimit() const { return hitLimit_; }
    bool timedOut() const { return timedOut_; }
    bool stopped() const { return stop_ && stop_->load(); }

  private:
    ContainerInput(int fd, std::uint64_t size, std::uint64_t maxBytes, Clock::time_point deadline,
                   const std::atomic<bool>* stop)
        : fd_(fd), size_(size), maxBytes_(maxBytes), deadline_(deadline), stop_(stop) {}
    static int read(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);

    int fd_;
    std::uint64_t size_;
    std::uint64_t maxBytes_;
    Clock::time_point deadline_;
    const std::atomic<bool>* stop_;
    std::uint64_t position_ = 0;
    std::uint64_t bytesRead_ = 0;
    bool hitLimit_ = false;
    bool timedOut_ = false;
    AVIOContext* avio_ = nullptr;
};

}  // namespace lirra::server
