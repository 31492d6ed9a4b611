#include "install/UnpackFile.h"

#include "install/OutputPipeline.h"
#include "install/PackedBodyDecoder.h"
#include "install/PackedFormat.h"
#include "support/ReadUpTo.h"
#include "support/Crc32.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {
namespace {

std::atomic<UnpackWriteFunction> g_write{nullptr};

long SystemWrite(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

constexpr std::size_t kInputBlock = std::size_t(1) << 20;

class FileHandle {
public:
    explicit FileHandle(int fd = -1) : fd_(fd) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int Get() const { return fd_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    // false when the system reports an error at closing (a delayed write error).
    bool Close() {
        if (fd_ < 0)
            return true;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

private:
    int fd_;
};

// A source this large is unpacked with the CRC and the writes on a second thread.
constexpr std::uint64_t kThreadedFrom = std::uint64_t(256) << 10;

// Where the output goes, and the system's reason when a write failed.
struct Destination {
    int fd = -1;
    std::atomic<int> error{0};
};

bool WriteChunk(const unsigned char* data, std::size_t size, void* context) {
    auto& destination = *static_cast<Destination*>(context);
    const int fd = destination.fd;
    UnpackWriteFunction write = g_write.load(std::memory_order_relaxed);
    if (!write)
        write = SystemWrite;
    while (size > 0) {
        const long n = write(fd, data, std::min<std::size_t>(size, std::size_t(1) << 30));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            destination.error = n < 0 ? errno : EIO;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// One unpacking: reads the body of an open source whose header was taken, decodes it, and
// hands the output to the pipeline (CRC, and writes when a destination is given). Progress
// thresholds are those of reading one byte at a time: the callback for threshold t is asked
// just before body byte t is used, once everything a byte-at-a-time unpacker would have
// written by then is written.
class Unpacking {
public:
    Unpacking(int source, int destination, std::uint64_t sourceSize, UnpackCallback callback,
              void* context, std::uint64_t outputLimit = 0)
        : source_(source), size_(sourceSize ? sourceSize : 1),
          step_(std::max<std::uint64_t>(sourceSize / 100, 1024)),
          threshold_(callback ? step_ : UINT64_MAX), callback_(callback), context_(context),
          outputLimit_(outputLimit ? outputLimit : UINT64_MAX),
          input_(kInputBlock + packed::kMaxGroupBytes + PackedBodyDecoder::kInputPadding),
          pipeline_(sourceSize >= kThreadedFrom, destination >= 0 ? &WriteChunk : nullptr, &destination_) {
        destination_.fd = destination;
    }

    void Run();
    // Writes what is left (unless a write failed already) and waits for the writes.
    void Finish() {
        tooLarge_ = tooLarge_ || decoder_.Produced() > outputLimit_;
        if (!writeFailed_ && !tooLarge_)
            TakeOutput(decoder_.Produced());
        writeFailed_ = !pipeline_.Drain();
    }
    bool Cancelled() const { return cancelled_; }
    bool WriteFailed() const { return writeFailed_; }
    // The output passed its limit, or a write passed the process's file-size limit.
    bool TooLarge() const { return tooLarge_ || destination_.error == EFBIG; }
    std::uint32_t Crc() const { return pipeline_.Crc(); }
    void Report(std::uint16_t percent) {
        if (callback_ && !callback_(percent, context_))
            cancelled_ = true;
    }

private:
    // A byte-at-a-time unpacker writes its ring when it fills: after 18 bytes, then every 4096.
    static std::uint64_t RingBoundary(std::uint64_t produced) {
        if (produced < packed::kMaxMatch)
            return 0;
        return produced - (produced - packed::kMaxMatch) % packed::kRingSize;
    }
    void TakeOutput(std::uint64_t upTo) {
        if (upTo > taken_) {
            pipeline_.Submit(decoder_.At(taken_), std::size_t(upTo - taken_));
            taken_ = upTo;
        }
    }

    int source_;
    Destination destination_;  // fd -1: verify only
    std::uint64_t size_;
    std::uint64_t step_;
    std::uint64_t threshold_;  // 1-based index of the body byte whose reading reports progress
    UnpackCallback callback_;
    void* context_;
    std::uint64_t outputLimit_;
    std::vector<unsigned char> input_;
    PackedBodyDecoder decoder_;
    OutputPipeline pipeline_;
    std::uint64_t taken_ = 0;  // output handed to the pipeline (every byte is, in order)
    bool cancelled_ = false;
    bool writeFailed_ = false;
    bool tooLarge_ = false;
};

void Unpacking::Run() {
    const unsigned char* begin = input_.data();
    const unsigned char* in = begin;
    const unsigned char* end = begin;
    std::uint64_t inputBase = 0;  // body offset of input_[0]
    for (;;) {
        // Bytes before the next threshold byte may be used freely.
        const std::uint64_t freeBytes = threshold_ - 1 - inputBase;
        const unsigned char* limit =
            freeBytes < std::uint64_t(end - begin) ? begin + freeBytes : end;
        if (decoder_.Decode(in, limit) == PackedBodyDecoder::Stop::OutputFull) {
            if ((tooLarge_ = decoder_.Produced() > outputLimit_))
                return;
            TakeOutput(RingBoundary(decoder_.Produced()));
            if ((writeFailed_ = pipeline_.Failed()))
                return;
            decoder_.Compact(taken_);
            continue;
        }
        if (limit < end) {
            // The next item needs the threshold byte.
            TakeOutput(RingBoundary(decoder_.Produced()));
            if ((writeFailed_ = !pipeline_.Drain()))
                return;
            const std::uint64_t percent = std::min<std::uint64_t>(threshold_ * 100 / size_, 100);
            threshold_ += step_;
            Report(static_cast<std::uint16_t>(percent));
            if (cancelled_)
                return;
            continue;
        }
        // Keep the incomplete item and read the next block behind it.
        const std::size_t left = std::size_t(end - in);
        std::memmove(input_.data(), in, left);
        inputBase += std::uint64_t(in - begin);
        bool failed = false;
        const std::size_t got = ReadUpTo(source_, input_.data() + left, kInputBlock, failed);
        in = begin;
        end = begin + left + got;
        if (got == 0)
            return;  // end of the body (or a read error): an incomplete item is ignored
    }
}

// Reads the header of an open source, which must be a regular file.
int ReadSourceHeader(int fd, unsigned char* header, std::uint32_t& storedCrc) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return kUnpackSourceError;
    bool failed = false;
    if (ReadUpTo(fd, header, packed::kHeaderSize, failed) != packed::kHeaderSize ||
        !packed::ValidHeader(header, storedCrc))
        return kUnpackBadHeader;
    return kUnpackOk;
}

int OpenSource(const std::string& path, unsigned char* header, std::uint32_t& storedCrc, FileHandle& file) {
    // Non-blocking, so that a FIFO planted as the source cannot hang the open; only regular
    // files are read.
    file.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    return ReadSourceHeader(file.Get(), header, storedCrc);
}

} // namespace

UnpackWriteFunction SetUnpackWriteFunction(UnpackWriteFunction function) {
    return g_write.exchange(function);
}

int UnpackFile(const std::string& source, const std::string& destination, UnpackCallback callback,
               void* context, UnpackTarget target) {
    FileHandle in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    return UnpackFile(in.Get(), destination, callback, context, target);
}

int UnpackFile(int source, const std::string& destination, UnpackCallback callback, void* context,
               UnpackTarget target, std::uint64_t outputLimit) {
    if (callback)
        callback(65535, context);

    unsigned char header[packed::kHeaderSize];
    std::uint32_t storedCrc = 0;
    if (const int rc = ReadSourceHeader(source, header, storedCrc); rc != kUnpackOk)
        return rc;

    struct stat sourceStat {};
    if (::fstat(source, &sourceStat) != 0)
        return kUnpackSourceError;
    // Truncating the source itself would destroy it before it is read.
    struct stat destStat {};
    if (::stat(destination.c_str(), &destStat) == 0 && destStat.st_dev == sourceStat.st_dev &&
        destStat.st_ino == sourceStat.st_ino)
        return kUnpackCreateError;

    // Never through a symbolic link; O_NONBLOCK: a FIFO without a reader fails instead of hanging.
    const int how = target == UnpackTarget::New ? O_EXCL : O_TRUNC;
    FileHandle out(::open(destination.c_str(), O_WRONLY | O_CREAT | how | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                          target == UnpackTarget::New ? 0600 : 0666));
    struct stat created {};
    if (out.Get() < 0 || ::fstat(out.Get(), &created) != 0)
        return kUnpackCreateError;

    const std::uint64_t size =
        sourceStat.st_size > 0 ? std::uint64_t(sourceStat.st_size) : packed::kHeaderSize;
    Unpacking unpacking(source, out.Get(), size, callback, context, outputLimit);
    unpacking.Report(0);
    if (!unpacking.Cancelled())
        unpacking.Run();
    unpacking.Finish();
    unpacking.Report(100);
    const bool closed = out.Close();
    if (unpacking.Cancelled())
        return kUnpackCancelled;
    const bool tooLarge = unpacking.TooLarge();
    const bool writeFailed = unpacking.WriteFailed() || !closed;
    if (!tooLarge && !writeFailed && unpacking.Crc() == storedCrc)
        return kUnpackOk;
    // Delete what we wrote: a regular file still under that name (never a device like /dev/null).
    struct stat now {};
    if (S_ISREG(created.st_mode) && ::lstat(destination.c_str(), &now) == 0 && now.st_dev == created.st_dev &&
        now.st_ino == created.st_ino)
        ::unlink(destination.c_str());
    return tooLarge ? kUnpackTooLarge : writeFailed ? kUnpackWriteError : kUnpackChecksumError;
}

int VerifyPackedFile(const std::string& source) {
    FileHandle in;
    unsigned char header[packed::kHeaderSize];
    std::uint32_t storedCrc = 0;
    if (const int rc = OpenSource(source, header, storedCrc, in); rc != kUnpackOk)
        return rc;
    struct stat st {};
    const std::uint64_t size = ::fstat(in.Get(), &st) == 0 && st.st_size > 0 ? std::uint64_t(st.st_size) : 0;
    Unpacking unpacking(in.Get(), -1, size, nullptr, nullptr);
    unpacking.Run();
    unpacking.Finish();
    return unpacking.Crc() == storedCrc ? kUnpackOk : kUnpackChecksumError;
}

} // namespace quillon
