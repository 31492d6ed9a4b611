// The text form of profile files (`quillon-dist profile compile`). A text that compiles is
// printed and compiled again, and written as a profile file and loaded again: both must give
// back the same sections and entries, in the same order, with the same values.
#include "FuzzTarget.h"

#include "descriptions/ProfileText.h"
#include "descriptions/ProfileWriter.h"

#include <string_view>
#include <utility>
#include <vector>

using namespace quillon;

namespace {

// The store in the file's order: (section, entry, value) for every entry, sections as markers.
std::vector<std::pair<std::string, std::pair<std::string, CProfileValue>>> Contents(const CXCryptedProfile2& store) {
    std::vector<std::pair<std::string, std::pair<std::string, CProfileValue>>> out;
    const auto& impl = store.Implementation();
    for (std::size_t s = 0; const auto* section = impl.AtAdded(s); ++s) {
        out.push_back({section->name, {}});
        for (std::size_t e = 0; const auto* entry = section->value->AtAdded(e); ++e)
            out.push_back({section->name, {entry->name, *entry->value}});
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CXCryptedProfile2 store;
    ProfileTextError error;
    if (!ParseProfileText(text, store, error)) {
        FUZZ_CHECK(error.line >= 1 && !error.what.empty());
        return 0;
    }
    const auto read = Contents(store);
    const std::string printed = PrintProfileText(store);
    PrintProfileJson(store);
    CXCryptedProfile2 again;
    FUZZ_CHECK(ParseProfileText(printed, again, error));
    FUZZ_CHECK(Contents(again) == read);
    FUZZ_CHECK(PrintProfileText(again) == printed);
    // What compile writes loads back as what was read.
    std::vector<std::uint8_t> image;
    WriteProfileImage(store, image);
    CXCryptedProfile2 loaded;
    FUZZ_CHECK(loaded.LoadImage(image.data(), image.size()));
    FUZZ_CHECK(Contents(loaded) == read);
    return 0;
}
