// The reference product's dictionary-file reader: the whole-file parser, the head of a slotted
// file from its first bytes, and the streaming readers the product uses on a file (head, verify).
// A file the whole-file parser accepts must verify, and every reader must agree on its head.
// Each input is read as it is and with its lengths and checksums repaired.
#include "Checksums.h"
#include "FuzzTarget.h"
#include "FuzzScratch.h"

#include "DictionaryFile.h"

#include <string>
#include <string_view>
#include <vector>

using namespace kaldo;

namespace {

void Check(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto whole = ParseDictionary(std::string_view(reinterpret_cast<const char*>(data), size), error);
    ParseSlottedHead(data, size, size, error);

    static const std::string path = quillon::fuzz::ScratchFolder() + "fuzz.dct";
    if (!quillon::fuzz::WriteScratchFile(path, data, size))
        return;
    const auto head = ReadDictionaryHead(path, error);
    DictionaryHeadInfo info;
    const bool verified = VerifyDictionary(path, error, &info);
    if (whole) {
        FUZZ_CHECK(head.has_value());
        FUZZ_CHECK(verified);
        FUZZ_CHECK(static_cast<const DictionaryHead&>(*whole) == head->head);
        FUZZ_CHECK(info.entryCount == whole->Entries().size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Check(data, size);
    std::vector<std::uint8_t> repaired(data, data + size);
    quillon::fuzz::RepairDictionary(repaired);
    Check(repaired.data(), repaired.size());
    return 0;
}
