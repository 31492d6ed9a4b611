// The text form of profile files (`quillon-dist profile compile`). A text that compiles is
// printed and compiled again: the printed form must rebuild an equal store.
#include "FuzzTarget.h"

#include "descriptions/ProfileText.h"
#include "descriptions/ProfileWriter.h"

#include <string_view>
#include <vector>

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CXCryptedProfile2 store;
    ProfileTextError error;
    if (!ParseProfileText(text, store, error)) {
        FUZZ_CHECK(error.line >= 1 && !error.what.empty());
        return 0;
    }
    const std::string printed = PrintProfileText(store);
    PrintProfileJson(store);
    CXCryptedProfile2 again;
    FUZZ_CHECK(ParseProfileText(printed, again, error));
    FUZZ_CHECK(PrintProfileText(again) == printed);
    // What compile writes.
    std::vector<std::uint8_t> image;
    WriteProfileImage(store, image);
    return 0;
}
