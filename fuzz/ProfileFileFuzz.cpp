// The profile-file loader (XCP2 container and record stream), as the collection loader reads
// RAVIRI.INF and SETUP.INI. A file that loads is walked through every query, written again and
// must read back as the same store. Each input is read as it is and with its checksum repaired.
#include "Checksums.h"
#include "FuzzTarget.h"

#include "descriptions/ProfileText.h"
#include "descriptions/ProfileWriter.h"
#include "descriptions/XCryptedProfile2.h"

#include <vector>

using namespace quillon;

namespace {

void Walk(const CXCryptedProfile2& store) {
    const std::int32_t sections = store.GetSectionCount();
    for (std::int32_t s = 0; s <= sections; ++s) {
        const std::string section = store.GetSectionName(s);
        const std::int32_t entries = store.GetEntryCount(section);
        for (std::int32_t e = 0; e <= entries; ++e) {
            const std::string name = store.GetEntryName(section, e);
            store.GetEntryTypeAt(section, e);
            store.GetInt(section, name, -1);
            store.GetString(section, name);
            store.GetBool(section, name);
            store.FindValue(section, name);
        }
    }
}

void Check(const std::uint8_t* data, std::size_t size) {
    CXCryptedProfile2 narrow(0);
    if (narrow.LoadImage(data, size, "RAVIRI.INF"))
        Walk(narrow);

    CXCryptedProfile2 wide;
    const bool loaded = wide.LoadImage(data, size, "RAVIRI.INF");
    FUZZ_CHECK(loaded == (narrow.LastError() == ProfileLoadError::None));
    if (!loaded) {
        FUZZ_CHECK(wide.GetSectionCount() == 0);
        return;
    }
    Walk(wide);
    std::vector<std::uint8_t> image;
    if (!WriteProfileImage(wide, image))
        return;
    CXCryptedProfile2 again;
    FUZZ_CHECK(again.LoadImage(image.data(), image.size()));
    FUZZ_CHECK(PrintProfileText(again) == PrintProfileText(wide));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Check(data, size);
    std::vector<std::uint8_t> repaired(data, data + size);
    fuzz::RepairProfileImage(repaired);
    Check(repaired.data(), repaired.size());
    return 0;
}
