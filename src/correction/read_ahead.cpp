#include "correction/read_ahead.h"

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

#include <algorithm>
#include <system_error>
#include <utility>

namespace velmora {

ReadAhead::ReadAhead(InputFile& source, std::int64_t count, std::size_t blockBytes,
                     std::size_t roomBefore, int blocks, BlockWork* work)
    : source_(source),
      work_(work),
      count_(std::max<std::int64_t>(count, 0)),
      left_(count_),
      blockBytes_(blockBytes),
      roomBefore_(roomBefore) {
    free_.resize(static_cast<std::size_t>(std::max(blocks, 1)));
#ifndef _WIN32
    // The reading thread takes no signals: they reach the walk's thread, which knows what
    // it is writing and removes it before the program ends. A new thread starts with the
    // mask of the one that made it.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    const bool masked = ::pthread_sigmask(SIG_BLOCK, &all, &previous) == 0;
#endif
    try {
        thread_ = std::thread(&ReadAhead::ReadAll, this);
    } catch (const std::system_error&) {
        // Reading in turn with the walk is slower, but just as right.
    }
#ifndef _WIN32
    if (masked) {
        static_cast<void>(::pthread_sigmask(SIG_SETMASK, &previous, nullptr));
    }
#endif
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool ReadAhead::ReadInto(std::vector<std::uint8_t>& memory, Block& block) {
    if (left_ <= 0) {
        return false;
    }
    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(left_, static_cast<std::int64_t>(blockBytes_)));
    if (memory.size() < roomBefore_ + wanted) {
        memory.resize(roomBefore_ + blockBytes_);
    }
    block.start = roomBefore_;
    block.offset = count_ - left_;
    block.size = source_.Read(memory.data() + roomBefore_, wanted);
    block.failed = block.size < wanted;
    block.bytes = std::move(memory);
    // After a failure nothing further is read: the walk stops at this block.
    left_ = block.failed ? 0 : left_ - static_cast<std::int64_t>(block.size);
    if (work_ != nullptr) {
        // The bytes are still in this processor's cache.
        work_->Done(block, left_ <= 0);
    }
    return true;
}

void ReadAhead::ReadAll() {
    // Only this thread touches left_ and the source while it runs; the walk learns that the
    // end is reached through finished_.
    for (;;) {
        std::vector<std::uint8_t> memory;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || !free_.empty(); });
            if (stop_) {
                return;
            }
            memory = std::move(free_.back());
            free_.pop_back();
        }
        Block block;
        const bool read = ReadInto(memory, block);
        {
            const std::lock_guard lock(mutex_);
            if (read) {
                ready_.push_back(std::move(block));
            }
            finished_ = left_ <= 0;
        }
        changed_.notify_all();
        if (!read || left_ <= 0) {
            return;
        }
    }
}

ReadAhead::Block ReadAhead::Next() {
    if (!thread_.joinable()) {
        std::vector<std::uint8_t> memory;
        if (!free_.empty()) {
            memory = std::move(free_.back());
            free_.pop_back();
        }
        Block block;
        static_cast<void>(ReadInto(memory, block));
        return block;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
    if (ready_.empty()) {
        return {};
    }
    Block block = std::move(ready_.front());
    ready_.erase(ready_.begin());
    return block;
}

void ReadAhead::Release(Block block) {
    // A block that never held memory (the walk's empty start) would add one to the blocks.
    if (block.bytes.capacity() == 0) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        free_.push_back(std::move(block.bytes));
    }
    changed_.notify_all();
}

}  // namespace velmora
