// The reference product's intake of the XML descriptions the installer sends: the first byte
// chooses a translation profile ("Topic") or a TM base ("Memory"), the rest is the text.
#include "FuzzTarget.h"

#include "ProfileXml.h"

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view xml(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string error;
    if (data[0] & 1) {
        const auto tm = kaldo::ParseTmXml(xml, error);
        FUZZ_CHECK(tm.has_value() || !error.empty());
    } else {
        const auto profile = kaldo::ParseProfileXml(xml, error);
        FUZZ_CHECK(profile.has_value() || !error.empty());
    }
    return 0;
}
