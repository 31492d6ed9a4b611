// The compound-file reader (setup.inf): open, list the root storage, read every stream whole
// and in pieces. What Open accepts must then read without failure, as its checks promise.
#include "FuzzTarget.h"

#include "support/CompoundFile.h"

#include <vector>

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CompoundFile file;
    if (!file.OpenBytes(std::vector<std::uint8_t>(data, data + size))) {
        FUZZ_CHECK(!file.Error().empty());
        return 0;
    }
    const auto& elements = file.Elements();
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const CompoundEntry& element = elements[i];
        FUZZ_CHECK(file.Find(element.name) >= 0);
        std::vector<std::uint8_t> whole;
        const bool read = file.ReadAll(int(i), whole);
        if (!element.isStream) {
            FUZZ_CHECK(!read);
            continue;
        }
        FUZZ_CHECK(read);
        FUZZ_CHECK(whole.size() == element.size);
        // A piece across a sector boundary reads the same bytes as the whole.
        std::uint8_t piece[700];
        const std::uint64_t offset = element.size / 3;
        const std::int64_t n = file.Read(int(i), offset, piece, sizeof piece);
        FUZZ_CHECK(n >= 0 && std::uint64_t(n) <= element.size - offset);
        for (std::int64_t k = 0; k < n; ++k)
            FUZZ_CHECK(piece[k] == whole[std::size_t(offset) + std::size_t(k)]);
    }
    return 0;
}
