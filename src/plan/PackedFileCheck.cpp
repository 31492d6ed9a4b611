#include "plan/PackedFileCheck.h"

#include "install/OutputPipeline.h"
#include "install/PackedBodyDecoder.h"
#include "install/PackedFormat.h"
#include "support/ReadUpTo.h"
#include "support/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {
namespace {

constexpr std::size_t kInputBlock = std::size_t(1) << 20;
// From this body size on, the CRC is computed on a second thread behind the decoder.
constexpr std::uint64_t kThreadedFrom = std::uint64_t(256) << 10;

struct HeadSink {
    std::vector<unsigned char>& head;
    std::size_t limit;
    void Take(const unsigned char* data, std::size_t size) {
        if (head.size() < limit)
            head.insert(head.end(), data, data + std::min(size, limit - head.size()));
    }
};

} // namespace

PackedFileCheck CheckPackedFile(const std::string& path, std::size_t headLimit) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    return CheckPackedFile(file.Get(), headLimit);
}

PackedFileCheck CheckPackedFile(int fd, std::size_t headLimit) {
    PackedFileCheck out;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return out;

    out.packedSize = std::uint64_t(std::max<off_t>(st.st_size, 0));
    unsigned char header[packed::kHeaderSize];
    std::uint32_t storedCrc = 0;
    bool failed = false;
    if (ReadUpTo(fd, header, sizeof header, failed) != sizeof header ||
        !packed::ValidHeader(header, storedCrc)) {
        out.result = failed ? kUnpackSourceError : kUnpackBadHeader;
        return out;
    }

    PackedBodyDecoder decoder;
    OutputPipeline crc(out.packedSize >= kThreadedFrom, nullptr, nullptr);
    HeadSink head{out.head, headLimit};
    std::uint64_t taken = 0;
    const auto takeOutput = [&] {
        const std::uint64_t produced = decoder.Produced();
        if (produced > taken) {
            const std::size_t size = std::size_t(produced - taken);
            head.Take(decoder.At(taken), size);
            crc.Submit(decoder.At(taken), size);
            taken = produced;
        }
        decoder.Compact(taken);
    };

    std::vector<unsigned char> input(kInputBlock + packed::kMaxGroupBytes +
                                     PackedBodyDecoder::kInputPadding);
    const unsigned char* const begin = input.data();
    const unsigned char* in = begin;
    const unsigned char* end = begin;
    for (;;) {
        if (decoder.Decode(in, end) == PackedBodyDecoder::Stop::OutputFull) {
            takeOutput();
            continue;
        }
        // Keep the incomplete item and read the next block behind it.
        const std::size_t left = std::size_t(end - in);
        std::memmove(input.data(), in, left);
        const std::size_t got = ReadUpTo(fd, input.data() + left, kInputBlock, failed);
        in = begin;
        end = begin + left + got;
        if (got == 0)
            break; // the end of the body (an incomplete item is ignored), or a read error
    }
    takeOutput();
    crc.Drain();
    out.unpackedSize = taken;
    out.crc = crc.Crc();
    if (failed)
        out.result = kUnpackSourceError;
    else
        out.result = out.crc == storedCrc ? kUnpackOk : kUnpackChecksumError;
    return out;
}

} // namespace quillon
