// The hive parser (the registry file every program reads). A hive that parses is walked a few
// levels deep, then written: what it writes must parse again into the same keys and values, in
// the same order, and write the same bytes.
#include "FuzzTarget.h"

#include "platform/posix/HiveDocument.h"

#include <string>
#include <string_view>

using namespace quillon;
using quillon::posix::HiveDocument;

namespace {

void Walk(HiveDocument& hive, RegistryRoot root, const std::string& path, int depth) {
    RegistryValue value;
    hive.QueryValue(root, path, "", value);
    if (depth == 0)
        return;
    std::string name;
    for (std::uint32_t i = 0; i < 16 && hive.EnumSubkey(root, path, i, name) == 0; ++i)
        Walk(hive, root, path.empty() ? name : path + "\\" + name, depth - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    auto hive = HiveDocument::Parse(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!hive) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    for (RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser, RegistryRoot::ClassesRoot})
        Walk(*hive, root, "", 3);
    const std::vector<std::string> read = hive->Contents();
    const std::string written = hive->Serialize();
    auto again = HiveDocument::Parse(written, error);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->Contents() == read);
    FUZZ_CHECK(again->Serialize() == written);
    return 0;
}
