#include "ClassicUnpacker.h"

#include <cstdio>

namespace bench {
namespace {

struct CrcTable {
    std::uint32_t t[256];
    CrcTable() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
    }
};
const CrcTable kCrc;

volatile unsigned g_lastPercent;
int Progress(unsigned percent) {
    g_lastPercent = percent;
    return 1;
}

// Byte source and sink for one decoder body shared by the file and memory versions.
template <class Source, class Sink>
int Decode(Source& in, Sink& out, std::uint64_t total, std::uint32_t stored) {
    unsigned char ring[4096] = {};
    unsigned r = 4078;
    bool first = true;
    std::uint32_t crc = 0xFFFFFFFFu;
    const std::uint64_t step = total / 100 < 1024 ? 1024 : total / 100;
    std::uint64_t threshold = step, bytesRead = 0;
    bool cancel = false, writeFailed = false;
    auto get = [&](unsigned& c) {
        const int v = in.Get();
        if (v < 0 || cancel)
            return false;
        if (++bytesRead == threshold) {
            threshold += step;
            if (!Progress(unsigned(bytesRead * 100 / total))) {
                cancel = true;
                return false;
            }
        }
        c = unsigned(v) ^ 0xA7u;
        return true;
    };
    auto put = [&](unsigned char c) {
        ring[r] = c;
        crc = (crc >> 8) ^ kCrc.t[(crc ^ c) & 0xFF];
        if (out.PerByte())
            writeFailed |= !out.Put(c);
        else if (r == 4095) {
            writeFailed |= !out.Write(ring + (first ? 4078 : 0), first ? 18 : 4096);
            first = false;
        }
        r = (r + 1) & 4095;
        return !writeFailed;
    };
    unsigned flags = 0;
    for (;;) {
        if (((flags >>= 1) & 256) == 0) {
            unsigned c;
            if (!get(c))
                break;
            flags = c | 0xFF00;
        }
        unsigned c1, c2;
        if (flags & 1) {
            if (!get(c1) || !put(static_cast<unsigned char>(c1)))
                break;
        } else {
            if (!get(c1) || !get(c2))
                break;
            const unsigned pos = c1 | ((c2 & 0xF0) << 4), len = (c2 & 0x0F) + 3;
            bool ok = true;
            for (unsigned k = 0; k < len && ok; ++k)
                ok = put(ring[(pos + k) & 4095]);
            if (!ok)
                break;
        }
    }
    if (!out.PerByte() && !writeFailed) {
        // The bytes since the last ring write.
        const unsigned from = first ? 4078 : 0;
        if (r > from || (r == from && !first))
            writeFailed |= !out.Write(ring + from, r - from);
    }
    Progress(100);
    if (cancel)
        return -9;
    if (writeFailed)
        return -4;
    return ~crc == stored ? 0 : -6;
}

struct FileSource {
    std::FILE* f;
    int Get() { return std::getc(f); }
};
struct FileSink {
    std::FILE* f;
    bool perByte;
    bool PerByte() const { return perByte; }
    bool Put(unsigned char c) { return std::putc(c, f) != EOF; }
    bool Write(const unsigned char* p, std::size_t n) { return std::fwrite(p, 1, n, f) == n; }
};
struct MemorySource {
    const unsigned char* p;
    const unsigned char* end;
    int Get() { return p < end ? *p++ : -1; }
};
struct MemorySink {
    std::vector<unsigned char>& out;
    bool PerByte() const { return true; }
    bool Put(unsigned char c) {
        out.push_back(c);
        return true;
    }
    bool Write(const unsigned char*, std::size_t) { return false; }
};

std::uint32_t U32(const unsigned char* h) {
    return h[0] | std::uint32_t(h[1]) << 8 | std::uint32_t(h[2]) << 16 | std::uint32_t(h[3]) << 24;
}

} // namespace

int ClassicUnpackFile(const std::string& source, const std::string& destination, bool putcPerByte) {
    std::FILE* in = std::fopen(source.c_str(), "rb");
    if (!in)
        return -1;
    unsigned char h[16];
    if (std::fread(h, 1, 16, in) != 16 || U32(h) != 0x071A5044 || h[4] != 1 || h[5] != 0) {
        std::fclose(in);
        return -5;
    }
    std::FILE* out = std::fopen(destination.c_str(), "wb");
    if (!out) {
        std::fclose(in);
        return -2;
    }
    std::fseek(in, 0, SEEK_END);
    const long total = std::ftell(in);
    std::fseek(in, 16, SEEK_SET);
    FileSource src{in};
    FileSink sink{out, putcPerByte};
    int rc = Decode(src, sink, std::uint64_t(total), U32(h + 12));
    std::fclose(in);
    if (std::fclose(out) != 0 && rc == 0)
        rc = -4;
    if (rc == -4 || rc == -6)
        std::remove(destination.c_str());
    return rc;
}

int ClassicUnpackMemory(const unsigned char* packed, std::size_t size, std::vector<unsigned char>& output) {
    output.clear();
    if (size < 16 || U32(packed) != 0x071A5044 || packed[4] != 1 || packed[5] != 0)
        return -5;
    MemorySource src{packed + 16, packed + size};
    MemorySink sink{output};
    return Decode(src, sink, size, U32(packed + 12));
}

} // namespace bench
