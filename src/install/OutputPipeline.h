#pragma once
// Where unpacked output goes: each chunk is added to the CRC and handed to a sink (a file, a
// vector), on a second thread when one is asked for, so that decoding overlaps with the CRC
// and the writes. Chunks are copied, so the decoder may reuse its window at once.
#include "support/Crc32.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon {

class OutputPipeline {
public:
    // Stores one chunk; answers false on failure (later chunks are then only checksummed).
    using Sink = bool (*)(const unsigned char* data, std::size_t size, void* context);

    OutputPipeline(bool threaded, Sink sink, void* context);
    ~OutputPipeline();
    OutputPipeline(const OutputPipeline&) = delete;
    OutputPipeline& operator=(const OutputPipeline&) = delete;

    void Submit(const unsigned char* data, std::size_t size);
    // Waits until every chunk submitted is stored; answers false once a store has failed.
    bool Drain();
    // A store has failed (may lag behind Submit; Drain is exact).
    bool Failed() const { return failed_.load(std::memory_order_acquire); }
    // The CRC-32 of everything submitted; call after Drain().
    std::uint32_t Crc() const { return crc_.Value(); }

private:
    void Process(const unsigned char* data, std::size_t size);
    void Loop();

    Sink sink_;
    void* context_;
    Crc32 crc_;
    std::atomic<bool> failed_{false};

    static constexpr std::size_t kBuffers = 3;
    std::vector<std::vector<unsigned char>> buffers_;
    std::vector<std::size_t> sizes_;
    std::deque<std::size_t> ready_;  // buffers to process, in order
    std::vector<std::size_t> free_;
    bool busy_ = false;
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

} // namespace quillon
