#include "install/Packer.h"

#include "install/PackBlock.h"
#include "install/PackedFormat.h"
#include "support/Crc32.h"
#include "support/ReadUpTo.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quillon {
namespace {

using packblock::BlockText;
using packblock::Item;
using packblock::kBlock;
using packblock::kHistory;

// Blocks per thread in one step: enough work to spread, little to hold.
constexpr std::size_t kBlocksPerThread = 8;

unsigned Threads(const PackOptions& options) {
    return options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
}

// Runs fn(0 .. count-1) on up to `threads` threads, the calling thread first running `meanwhile`.
template <class Fn, class Meanwhile>
void ParallelFor(std::size_t count, unsigned threads, Fn&& fn, Meanwhile&& meanwhile) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next++) < count;)
            fn(i);
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < std::min<std::size_t>(threads, count); ++t)
        helpers.emplace_back(work);
    meanwhile();
    work();
    for (auto& helper : helpers)
        helper.join();
}

// One step of blocks: their items, then their parts of the body, each on every thread, and the
// parts joined in order. The items and the parts do not depend on which thread made which.
class Step {
public:
    Step(const PackOptions& options, unsigned threads) : options_(options), threads_(threads) {}

    template <class Meanwhile>
    void Encode(const std::vector<BlockText>& blocks, packblock::BodyJoiner& joiner, Meanwhile&& meanwhile) {
        items_.resize(blocks.size());
        bodies_.resize(blocks.size());
        opens_.resize(blocks.size());
        ParallelFor(
            blocks.size(), threads_,
            [&](std::size_t i) {
                // Each thread fills a list of its own and swaps it in: lists of neighbouring
                // blocks grown at once would share their bookkeeping's cache line.
                thread_local std::vector<Item> list;
                if (options_.best)
                    packblock::EncodeBest(blocks[i], options_.chainDepth, list);
                else
                    packblock::EncodeFast(blocks[i], list);
                items_[i].swap(list);
            },
            meanwhile);
        // Where each block's items fall in the groups.
        unsigned open = joiner.Open();
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            opens_[i] = open;
            open = static_cast<unsigned>((open + items_[i].size()) % 8);
        }
        ParallelFor(
            blocks.size(), threads_, [&](std::size_t i) { packblock::MakeBody(items_[i], opens_[i], bodies_[i]); },
            [] {});
        for (std::size_t i = 0; i < blocks.size(); ++i)
            joiner.Join(bodies_[i], items_[i].size());
    }

private:
    const PackOptions& options_;
    unsigned threads_;
    std::vector<std::vector<Item>> items_;
    std::vector<packblock::BlockBody> bodies_;
    std::vector<unsigned> opens_;
};

void PutU32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutHeader(unsigned char* header, std::uint32_t crc) {
    std::memset(header, 0, packed::kHeaderSize);
    PutU32(header, packed::kMagic);
    header[4] = packed::kVersion & 0xFF;
    header[5] = packed::kVersion >> 8;
    PutU32(header + 12, crc);
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

std::vector<unsigned char> PackData(const void* data, std::size_t size, const PackOptions& options) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::vector<unsigned char> result(packed::kHeaderSize);
    result.reserve(packed::kHeaderSize + size / 2 + 64);
    const unsigned threads = Threads(options);
    // The first block's history is the ring's initial zeros: it is encoded from a copy.
    std::vector<unsigned char> first(kHistory + std::min(size, kBlock), 0);
    if (size)
        std::memcpy(first.data() + kHistory, bytes, first.size() - kHistory);
    packblock::BodyJoiner body;
    Step encoder(options, threads);
    Crc32 crc;
    std::vector<BlockText> blocks;
    const std::size_t step = kBlock * kBlocksPerThread * threads;
    for (std::size_t at = 0; at < size; at += step) {
        const std::size_t n = std::min(step, size - at);
        blocks.clear();
        for (std::size_t b = at; b < at + n; b += kBlock) {
            const std::size_t length = std::min(kBlock, size - b);
            blocks.push_back(b == 0 ? BlockText{first.data(), kHistory, length, 0}
                                    : BlockText{bytes + b - kHistory, kHistory, length, b});
        }
        encoder.Encode(blocks, body, [&] { crc.Update(bytes + at, n); });
        body.Take(result, false);
    }
    body.Take(result, true);
    PutHeader(result.data(), crc.Value());
    return result;
}

int PackFile(const std::string& source, const std::string& destination, const PackOptions& options,
             const PackProgress& progress) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO cannot hang it
    if (in < 0)
        return kPackSourceError;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return kPackSourceError;
    }
    struct stat destStat {};
    if (::stat(destination.c_str(), &destStat) == 0 && destStat.st_dev == st.st_dev && destStat.st_ino == st.st_ino) {
        ::close(in);
        return kPackCreateError;
    }
    const int out =
        ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
    struct stat created {};
    if (out < 0 || ::fstat(out, &created) != 0) {
        if (out >= 0)
            ::close(out);
        ::close(in);
        return kPackCreateError;
    }
    // The header's CRC is known at the end: a placeholder first. Each step reads a run of
    // blocks behind the 4096 bytes before them (at first the ring's zeros), encodes the blocks
    // on every thread while this one takes the run's CRC, and writes the finished groups.
    unsigned char header[packed::kHeaderSize];
    PutHeader(header, 0);
    bool readOk = true, written = WriteAll(out, header, sizeof header), stopped = false;
    const unsigned threads = Threads(options);
    const std::size_t step = kBlock * kBlocksPerThread * threads;
    std::vector<unsigned char> text(kHistory + step, 0), body;
    std::vector<BlockText> blocks;
    Step encoder(options, threads);
    packblock::BodyJoiner writer;
    Crc32 crc;
    std::uint64_t done = 0;
    while (written && readOk && !stopped) {
        bool failed = false;
        const std::size_t n = ReadUpTo(in, text.data() + kHistory, step, failed);
        readOk = !failed;
        if (!readOk || n == 0)
            break;
        blocks.clear();
        for (std::size_t b = 0; b < n; b += kBlock)
            blocks.push_back({text.data() + b, kHistory, std::min(kBlock, n - b), done + b});
        encoder.Encode(blocks, writer, [&] { crc.Update(text.data() + kHistory, n); });
        body.clear();
        writer.Take(body, false);
        written = WriteAll(out, body.data(), body.size());
        done += n;
        stopped = progress && !progress(done);
        // The last 4096 bytes read are the next step's history.
        std::memmove(text.data(), text.data() + n, kHistory);
    }
    ::close(in);
    if (written && readOk && !stopped) {
        body.clear();
        writer.Take(body, true);
        PutHeader(header, crc.Value());
        written = WriteAll(out, body.data(), body.size()) &&
                  ::pwrite(out, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
    }
    if (::close(out) != 0 || !written || !readOk || stopped) {
        if (S_ISREG(created.st_mode))
            ::unlink(destination.c_str());
        return readOk ? kPackWriteError : kPackSourceError;
    }
    return kPackOk;
}

} // namespace quillon
