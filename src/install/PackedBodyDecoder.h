#pragma once
// The LZSS decoder of packed bodies, over a linear output window: the 4096 bytes before the
// write pointer are always present, so the ring positions of the format map to plain distances
// and matches copy without masking each byte. Used by UnpackFile (file to file) and by
// UnpackToMemory.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon {

class PackedBodyDecoder {
public:
    enum class Stop {
        NeedInput,   // the next item (or flag byte) is not complete in the bytes given
        OutputFull,  // the window is full: take the output, then Compact()
    };

    // outputCapacity: how many bytes may be produced between two Compact() calls.
    explicit PackedBodyDecoder(std::size_t outputCapacity = std::size_t(256) << 10);

    // Bytes after `end` that Decode may read (and ignore): inputs carry this much padding.
    static constexpr std::size_t kInputPadding = 32;

    // Decodes whole items from the stored (still scrambled) bytes [in, end) and advances `in`
    // past them.
    // A flag byte is taken as soon as it is there; an incomplete item is left unread.
    Stop Decode(const unsigned char*& in, const unsigned char* end);

    // Wide copies write up to this many bytes past the end of an item (a whole group decoded at
    // once stages its literals up to 224 bytes past its start).
    static constexpr std::size_t kOutputSlack = 128;

    // Continues decoding into the caller's linear buffer: `begin` holds the whole output so far,
    // `produced` bytes, at least 4096 (so that every match finds its source there). Stops with
    // OutputFull when fewer than 18 + kOutputSlack bytes of `capacity` are left after the
    // output, or with NeedInput; `produced` is updated. Bytes past `produced` may be
    // overwritten. Once used, Decode(), Produced() and At() no longer apply.
    Stop DecodeInto(const unsigned char*& in, const unsigned char* end, unsigned char* begin,
                    std::size_t& produced, std::size_t capacity);

    // Whether whole groups are decoded with AVX2 when the processor has it (the default); answers
    // the previous setting. For tests of the portable path.
    static bool UseSimdGroups(bool use);

    // Bytes produced since the start (64-bit), and the address of output byte `offset`;
    // valid for offsets not yet released by Compact().
    std::uint64_t Produced() const { return shifted_ + std::uint64_t(out_ - HistoryEnd()); }
    const unsigned char* At(std::uint64_t offset) const {
        return HistoryEnd() + static_cast<std::ptrdiff_t>(offset - shifted_);
    }

    // Releases the output before `keepFrom` (an offset the caller has finished with), keeping the
    // 4096 bytes of history the decoder needs.
    void Compact(std::uint64_t keepFrom);

private:
    static Stop DecodeItems(const unsigned char*& in, const unsigned char* end, unsigned char*& out,
                            unsigned char* outLimit, unsigned& flags, std::uintptr_t bias);
    const unsigned char* HistoryEnd() const { return base_ + kHistory; }
    static constexpr std::size_t kHistory = 4096;

    std::vector<unsigned char> buf_;
    // [history | output | slack for wide copies] inside buf_, placed so that the address of a
    // byte, modulo 4096, is its ring position.
    unsigned char* base_;
    unsigned char* out_;              // next output byte
    unsigned char* outLimit_;         // an item may start while out_ <= outLimit_
    std::uint64_t shifted_ = 0;       // bytes dropped from the front (a multiple of 4096)
    unsigned flags_ = 1;              // flag bits still to use, above a sentinel 1
};

} // namespace quillon
