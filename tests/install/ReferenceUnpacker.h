#pragma once
// A byte-at-a-time unpacker written straight from the format description: ring buffer, one
// byte read and one byte written at a time, bytewise CRC. The oracle the fast unpacker and the
// packer are compared with.
#include <cstdint>
#include <functional>
#include <vector>

namespace quillon::test {

struct ReferenceResult {
    int result = 0;                        // 0, -5, -6 or -9 (no I/O errors in memory)
    std::vector<unsigned char> output;     // what reached the destination
    std::vector<std::uint16_t> reports;    // every callback argument, in order
};

inline std::uint32_t BytewiseCrcStep(std::uint32_t reg, unsigned char byte) {
    reg ^= byte;
    for (int k = 0; k < 8; ++k)
        reg = (reg & 1) ? 0xEDB88320u ^ (reg >> 1) : reg >> 1;
    return reg;
}

// `answer` is asked for every report and answers true to go on.
inline ReferenceResult ReferenceUnpack(const std::vector<unsigned char>& file,
                                       const std::function<bool(std::uint16_t)>& answer) {
    ReferenceResult r;
    bool cancel = false;
    auto report = [&](std::uint16_t p) {
        r.reports.push_back(p);
        return answer(p);
    };
    report(65535);
    if (file.size() < 16 || file[0] != 0x44 || file[1] != 0x50 || file[2] != 0x1A || file[3] != 0x07 ||
        file[4] != 1 || file[5] != 0) {
        r.result = -5;
        return r;
    }
    const std::uint32_t stored =
        file[12] | std::uint32_t(file[13]) << 8 | std::uint32_t(file[14]) << 16 | std::uint32_t(file[15]) << 24;
    const std::uint64_t size = file.size();
    const std::uint64_t step = size / 100 < 1024 ? 1024 : size / 100;
    std::uint64_t threshold = step, bytesRead = 0;
    std::size_t at = 16;
    std::uint32_t reg = 0xFFFFFFFFu;
    unsigned char ring[4096] = {};
    unsigned writePos = 4078;
    bool firstWrite = true;
    std::size_t unwritten = 0;  // bytes produced since the last write

    if (!report(0))
        cancel = true;
    auto readByte = [&](unsigned& byte) {
        if (cancel || at >= file.size())
            return false;
        ++bytesRead;
        if (bytesRead == threshold) {
            threshold += step;
            if (!report(static_cast<std::uint16_t>(bytesRead * 100 / size))) {
                cancel = true;
                return false;
            }
        }
        byte = file[at++] ^ 0xA7u;
        return true;
    };
    auto writeByte = [&](unsigned char byte) {
        ring[writePos] = byte;
        reg = BytewiseCrcStep(reg, byte);
        ++unwritten;
        if (writePos == 4095) {
            const unsigned from = firstWrite ? 4078 : 0;
            r.output.insert(r.output.end(), ring + from, ring + 4096);
            firstWrite = false;
            unwritten = 0;
        }
        writePos = (writePos + 1) & 4095;
    };
    for (;;) {
        unsigned flags;
        if (!readByte(flags))
            break;
        bool stop = false;
        for (int k = 0; k < 8 && !stop; ++k, flags >>= 1) {
            unsigned b1, b2;
            if (flags & 1) {
                if (!readByte(b1)) {
                    stop = true;
                    break;
                }
                writeByte(static_cast<unsigned char>(b1));
            } else {
                if (!readByte(b1) || !readByte(b2)) {
                    stop = true;
                    break;
                }
                const unsigned pos = b1 + ((b2 & 0xF0) << 4), len = (b2 & 0x0F) + 3;
                for (unsigned n = 0; n < len; ++n)
                    writeByte(ring[(pos + n) & 4095]);
            }
        }
        if (stop)
            break;
    }
    // The bytes since the last write end the ring just before the write position.
    for (std::size_t n = unwritten; n > 0; --n)
        r.output.push_back(ring[(writePos - n) & 4095]);
    if (!report(100))
        cancel = true;
    if (cancel)
        r.result = -9;
    else if (~reg == stored)
        r.result = 0;
    else {
        r.result = -6;
        r.output.clear();
    }
    return r;
}

} // namespace quillon::test
