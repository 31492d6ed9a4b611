#include "install/OutputPipeline.h"

#include <cstring>
#include <system_error>

namespace quillon {

OutputPipeline::OutputPipeline(bool threaded, Sink sink, void* context) : sink_(sink), context_(context) {
    if (!threaded)
        return;
    buffers_.resize(kBuffers);
    sizes_.resize(kBuffers);
    for (std::size_t i = 0; i < kBuffers; ++i)
        free_.push_back(i);
    try {
        thread_ = std::thread([this] { Loop(); });
    } catch (const std::system_error&) {
        // No thread to be had: process each chunk at once instead.
    }
}

OutputPipeline::~OutputPipeline() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void OutputPipeline::Process(const unsigned char* data, std::size_t size) {
    crc_.Update(data, size);
    if (sink_ && !failed_.load(std::memory_order_relaxed) && !sink_(data, size, context_))
        failed_.store(true, std::memory_order_release);
}

void OutputPipeline::Submit(const unsigned char* data, std::size_t size) {
    if (size == 0)
        return;
    if (!thread_.joinable()) {
        Process(data, size);
        return;
    }
    std::size_t index;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty(); });
        index = free_.back();
        free_.pop_back();
    }
    if (buffers_[index].size() < size)
        buffers_[index].resize(size);
    std::memcpy(buffers_[index].data(), data, size);
    sizes_[index] = size;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_.push_back(index);
    }
    changed_.notify_all();
}

bool OutputPipeline::Drain() {
    if (thread_.joinable()) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return ready_.empty() && !busy_; });
    }
    return !Failed();
}

void OutputPipeline::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !ready_.empty(); });
        if (ready_.empty())
            return;  // stopping, nothing left
        const std::size_t index = ready_.front();
        ready_.pop_front();
        busy_ = true;
        lock.unlock();
        Process(buffers_[index].data(), sizes_[index]);
        lock.lock();
        busy_ = false;
        free_.push_back(index);
        changed_.notify_all();
    }
}

} // namespace quillon
