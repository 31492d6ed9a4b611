// The manifest reader of `quillon-dist build`. The manifest is read as if it lay in the sample
// distribution's folder, so that its source files (word lists, profiles, TM files) resolve and
// the checks behind them are reached.
#include "FuzzTarget.h"

#include "tools/Manifest.h"

#include <string>
#include <vector>

using namespace quillon::dist;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = QUILLON_SOURCE_DIR "/samples/demo/fuzz.manifest";
    std::vector<ManifestMessage> errors, warnings;
    const auto manifest =
        ParseManifest(std::string(reinterpret_cast<const char*>(data), size), path, errors, warnings);
    FUZZ_CHECK(manifest.has_value() == errors.empty());
    FUZZ_CHECK(errors.size() <= 100);
    return 0;
}
