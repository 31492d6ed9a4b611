// UnpackToMemory: the whole packed file is in memory, so the decoder reads it where it lies and
// writes straight into the output; a helper thread computes the CRC of the output behind it.
#include "install/UnpackFile.h"

#include "install/PackedBodyDecoder.h"
#include "install/PackedFormat.h"
#include "support/Crc32.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace quillon {
namespace {

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kChunk = 1024 * kKiB;         // output decoded (and handed on) per step
constexpr std::size_t kThreadedFrom = 1024 * kKiB;  // smaller bodies are not worth a thread

// The CRC of the output, on a helper thread (or in line when there is none). The decoder hands
// on output with Publish(); the output buffer may move only after Idle().
class CrcBehind {
public:
    explicit CrcBehind(bool threaded) {
        if (!threaded)
            return;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No thread to be had: the CRC is computed in line.
        }
    }
    ~CrcBehind() { Finish(); }
    CrcBehind(const CrcBehind&) = delete;
    CrcBehind& operator=(const CrcBehind&) = delete;

    // Output [0, produced) at `output` is final.
    void Publish(const unsigned char* output, std::size_t produced) {
        const std::size_t checked = checked_.load(std::memory_order_relaxed);
        if (!thread_.joinable()) {
            crc_.Update(output + checked, produced - checked);
            checked_.store(produced, std::memory_order_relaxed);
            return;
        }
        output_.store(output, std::memory_order_relaxed);
        // No wake-up call: the helper looks every kPoll. (Waking it would cost the decoder a
        // system call per step.)
        published_.store(produced, std::memory_order_release);
    }

    // Waits until the helper is done with the output published so far.
    void Idle() {
        const std::size_t target = published_.load(std::memory_order_relaxed) & ~kFinished;
        std::size_t done = checked_.load(std::memory_order_acquire);
        while (done < target) {
            checked_.wait(done, std::memory_order_acquire);
            done = checked_.load(std::memory_order_acquire);
        }
    }

    // Ends the helper once everything published is in the CRC; answers the CRC.
    std::uint32_t Finish() {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                published_.fetch_or(kFinished, std::memory_order_release);
            }
            finished_.notify_one();
            thread_.join();
        }
        return crc_.Value();
    }

private:
    static constexpr std::size_t kFinished = std::size_t(1) << (sizeof(std::size_t) * 8 - 1);
    // A step of output takes a few hundred microseconds to decode.
    static constexpr std::chrono::microseconds kPoll{50};

    void Run() {
        std::size_t checked = 0;
        for (;;) {
            const std::size_t published = published_.load(std::memory_order_acquire);
            const std::size_t upTo = published & ~kFinished;
            if (upTo > checked) {
                crc_.Update(output_.load(std::memory_order_relaxed) + checked, upTo - checked);
                checked = upTo;
                checked_.store(checked, std::memory_order_release);
                checked_.notify_one();
            } else if (published & kFinished) {
                return;
            } else {
                std::unique_lock<std::mutex> lock(mutex_);
                finished_.wait_for(lock, kPoll, [&] {
                    return published_.load(std::memory_order_acquire) != published;
                });
            }
        }
    }

    Crc32 crc_;
    std::atomic<std::size_t> published_{0};  // output bytes final, with kFinished at the end
    std::atomic<std::size_t> checked_{0};    // output bytes in the CRC
    std::atomic<const unsigned char*> output_{nullptr};
    std::mutex mutex_;
    std::condition_variable finished_;  // signalled once, by Finish()
    std::thread thread_;
};

// Moves the first `used` bytes of `buffer` to one with room for `capacity` bytes. (reserve()
// would copy byte by byte: the allocator's construct() hides that the bytes are trivial.)
void Grow(ByteBuffer& buffer, std::size_t capacity, std::size_t used) {
    ByteBuffer bigger;
    bigger.reserve(capacity);
    bigger.resize(used);
    if (used > 0)
        std::memcpy(bigger.data(), buffer.data(), used);
    buffer.swap(bigger);
}

} // namespace

int UnpackToMemory(const void* packedData, std::size_t size, ByteBuffer& output) {
    output.clear();
    const auto* bytes = static_cast<const unsigned char*>(packedData);
    std::uint32_t storedCrc = 0;
    if (size < packed::kHeaderSize || !packed::ValidHeader(bytes, storedCrc))
        return kUnpackBadHeader;
    const unsigned char* in = bytes + packed::kHeaderSize;
    const unsigned char* const bodyEnd = bytes + size;
    CrcBehind crc(size - packed::kHeaderSize >= kThreadedFrom);

    // The decoder reads up to kInputPadding bytes past the end it is given: it reads the body
    // where it lies up to that far before its end, then the rest from a padded copy.
    unsigned char tail[packed::kMaxGroupBytes + 2 * PackedBodyDecoder::kInputPadding] = {};
    const unsigned char* end = bodyEnd - in > std::ptrdiff_t(PackedBodyDecoder::kInputPadding)
                                   ? bodyEnd - PackedBodyDecoder::kInputPadding
                                   : in;
    bool inTail = false;
    auto more = [&]() {
        if (inTail)
            return false;
        const std::size_t left = std::size_t(bodyEnd - in);  // < kMaxGroupBytes + kInputPadding
        std::memcpy(tail, in, left);
        in = tail;
        end = tail + left;
        inTail = true;
        return true;
    };

    constexpr std::size_t kSlack = packed::kMaxMatch + PackedBodyDecoder::kOutputSlack + 8 * packed::kMaxMatch;
    output.reserve(std::max<std::size_t>(output.capacity(), packed::kRingSize + kChunk + kSlack));
    // Until 4096 bytes are out, matches may reach into the zero-filled ring: the decoder's own
    // window serves.
    PackedBodyDecoder decoder;
    bool inputLeft = true;
    for (;;) {
        const bool full = decoder.Decode(in, end) == PackedBodyDecoder::Stop::OutputFull;
        const std::uint64_t produced = decoder.Produced();
        const std::size_t had = output.size();
        output.resize(std::size_t(produced));  // (insert() would copy byte by byte, see Grow)
        std::memcpy(output.data() + had, decoder.At(had), output.size() - had);
        decoder.Compact(produced);
        if (produced >= packed::kRingSize)
            break;
        if (!full && !(inputLeft = more()))
            break;
    }
    // Then straight into the output, which holds the whole history; each chunk is handed on for
    // the CRC as soon as it is decoded.
    std::size_t produced = output.size();
    crc.Publish(output.data(), produced);
    if (inputLeft) {
        for (;;) {
            const std::size_t room = produced + kChunk + kSlack;
            if (room > output.capacity()) {
                crc.Idle();  // the helper must not be reading the output while it moves
                Grow(output, std::max(room, 2 * output.capacity()), produced);
            }
            output.resize(room);
            const PackedBodyDecoder::Stop stop = decoder.DecodeInto(in, end, output.data(), produced, room);
            crc.Publish(output.data(), produced);
            if (stop == PackedBodyDecoder::Stop::NeedInput && !more())
                break;
        }
    }
    output.resize(produced);
    return crc.Finish() == storedCrc ? kUnpackOk : kUnpackChecksumError;
}

} // namespace quillon
