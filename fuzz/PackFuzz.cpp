// The packer: any input packed at both levels unpacks to exactly itself, and threads change
// nothing. The first byte picks how the rest is repeated, so that short inputs also make long
// runs of matches across the 64 KiB blocks the packer encodes apart.
#include "FuzzTarget.h"

#include "install/Packer.h"
#include "install/UnpackFile.h"

#include <cstring>
#include <vector>

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // Repeated 1 to 16 times: up to a few blocks from a 64 KiB input.
    const std::size_t copies = 1 + (data[0] & 15);
    std::vector<unsigned char> input;
    input.reserve((size - 1) * copies);
    for (std::size_t c = 0; c < copies; ++c)
        input.insert(input.end(), data + 1, data + size);
    for (const bool best : {false, true}) {
        PackOptions options;
        options.best = best;
        options.threads = 1;
        const std::vector<unsigned char> packed = PackData(input.data(), input.size(), options);
        ByteBuffer back;
        FUZZ_CHECK(UnpackToMemory(packed.data(), packed.size(), back) == kUnpackOk);
        FUZZ_CHECK(back.size() == input.size());
        FUZZ_CHECK(input.empty() || std::memcmp(back.data(), input.data(), input.size()) == 0);
        // At most one flag byte per eight literals more than the input.
        FUZZ_CHECK(packed.size() <= 16 + input.size() + (input.size() + 7) / 8);
        if (input.size() > 65536) {
            options.threads = 3;
            FUZZ_CHECK(PackData(input.data(), input.size(), options) == packed);
        }
    }
    return 0;
}
