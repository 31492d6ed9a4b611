// The whole collection loader over a fuzzed pair of description files. The input is split in
// two: a 4-byte little-endian length, that many bytes of RAVIRI.INF, the rest SETUP.INI. Both
// get their length and checksum repaired (see Checksums.h) and are written into a private folder that stands for the distribution, and the loader lists the
// collections and reads each one, as `quillon-dist describe` does.
#include "Checksums.h"
#include "FuzzTarget.h"
#include "FuzzScratch.h"

#include "descriptions/DictCollectionLoader.h"
#include "descriptions/LanguageDirections.h"
#include "model/DictCollection.h"
#include "model/DictDistrib.h"
#include "platform/posix/PosixPorts.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace quillon;

namespace {

// Every direction of the table counts as installed, so every profile is read in full. (Made
// once: the names cost more than a small input's whole load.)
std::unique_ptr<InstalledDirections> AllDirections() {
    static const InstalledDirections all = [] {
        InstalledDirections directions;
        for (char s : std::string_view("ERGFISPLD"))
            for (char t : std::string_view("ERGFISPLD")) {
                const DirectionId id = DirectionFromCode(std::string{s, t});
                directions[static_cast<std::int32_t>(id)] = PairName(id, PairForm::Masculine);
            }
        return directions;
    }();
    return std::make_unique<InstalledDirections>(all);
}

const std::string& Folder() {
    static const std::string folder = [] {
        const std::string& scratch = fuzz::ScratchFolder();
        // The ports, on a hive of the scratch folder (the loader itself reads none).
        ::setenv("QUILLON_REGISTRY", (scratch + "registry.reg").c_str(), 1);
        posix::InstallPosixPorts();
        // Some of the files the sample distribution's seed names, so that references resolve as
        // well as miss.
        for (const char* sub : {"DICT", "PROFILES", "KEYWORDS", "WWT", "TM"})
            std::filesystem::create_directory(scratch + sub);
        for (const char* name : {"DICT/er_common.dct", "DICT/er_tech.dct", "PROFILES/ER_TECH", "KEYWORDS/tech.kw",
                                 "WWT/er_tech.wwt", "TM/er_tech.tmb"})
            fuzz::WriteScratchFile(scratch + name, nullptr, 0);
        return scratch;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const std::size_t first = std::min<std::size_t>(
        size - 4, std::size_t(data[0]) | std::size_t(data[1]) << 8 | std::size_t(data[2]) << 16 |
                      std::size_t(data[3]) << 24);
    const std::string& folder = Folder();
    const std::string raviri = folder + "RAVIRI.INF", setup = folder + "SETUP.INI";
    std::vector<std::uint8_t> raviriImage(data + 4, data + 4 + first), setupImage(data + 4 + first, data + size);
    fuzz::RepairProfileImage(raviriImage);
    fuzz::RepairProfileImage(setupImage);
    if (!fuzz::WriteScratchFile(raviri, raviriImage.data(), raviriImage.size()) ||
        !fuzz::WriteScratchFile(setup, setupImage.data(), setupImage.size()))
        return 0;

    CDictCollectionLoader loader(setup, raviri, folder, AllDirections());
    CDictDistrib distribution;
    const int count = loader.ListCollections(distribution);
    FUZZ_CHECK(count == int(distribution.GetCollections().size()));
    for (const CDictCollection& listed : distribution.GetCollections()) {
        CSmartPtr<CDictCollection> collection(new CDictCollection);
        FUZZ_CHECK(loader.ReadCollection(listed.GetIdText(), *collection));
        FUZZ_CHECK(collection->GetProfiles().size() <= 100000);
    }
    return 0;
}
