#pragma once
// The standard CRC-32 (reflected polynomial 0xEDB88320, initial value all ones, final
// complement), computed eight bytes at a time (slicing-by-8).
#include <cstddef>
#include <cstdint>

namespace quillon {

class Crc32 {
public:
    void Update(const void* data, std::size_t size);
    std::uint32_t Value() const { return ~reg_; }
    // The running register (all ones at the start), for callers that keep it themselves.
    std::uint32_t Register() const { return reg_; }

    static std::uint32_t Of(const void* data, std::size_t size) {
        Crc32 c;
        c.Update(data, size);
        return c.Value();
    }

private:
    std::uint32_t reg_ = 0xFFFFFFFFu;
};

} // namespace quillon
