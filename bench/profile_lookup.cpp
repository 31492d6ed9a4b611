// Entry lookup in a large profile section: the name index against a walk of the section in
// index order (comparing every name until the first equal one), on the same loaded store.
//
//   profile_lookup [ENTRIES]   (default 50000)
#include "descriptions/ProfileWriter.h"
#include "descriptions/XCryptedProfile2.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using quillon::CProfileValue;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 50000;
    if (entries <= 0) {
        std::fprintf(stderr, "usage: profile_lookup [ENTRIES]\n");
        return 2;
    }
    // A SETUP.INI-like section: keys with common prefixes, mixed types, like a large
    // distribution's item list.
    const std::string section = "Dictionaries";
    std::vector<std::string> names;
    quillon::CXCryptedProfile2 built;
    for (int i = 0; i < entries; ++i) {
        std::string name = "Dict" + std::to_string(i) +
                           (i % 3 == 0   ? ".NameOnCD"
                            : i % 3 == 1 ? ".Size"
                                         : ".Name.R");
        if (i % 3 == 1)
            built.AddEntry(section, name, CProfileValue::Int(i));
        else
            built.AddEntry(section, name,
                           CProfileValue::String("DICTS\\FILE" + std::to_string(i) + ".ER"));
        names.push_back(std::move(name));
    }
    std::vector<std::uint8_t> image;
    std::string error;
    if (!quillon::WriteProfileImage(built, image, &error)) {
        std::fprintf(stderr, "write: %s\n", error.c_str());
        return 1;
    }

    auto start = Clock::now();
    quillon::CXCryptedProfile2 store;
    if (!store.LoadImage(image.data(), image.size(), "bench")) {
        std::fprintf(stderr, "load: %s\n", quillon::ProfileLoadErrorText(store.LastError()));
        return 1;
    }
    const double loadSeconds = Seconds(start);
    const quillon::CCryptedSection* s = store.Implementation().FindSection(section);

    // Both lookups must agree; the sums also keep the optimiser from dropping the loops. The
    // indexed passes are cheap, so the best of five is taken (the machine may be shared); the
    // walk runs once.
    constexpr int kPasses = 5;
    long long indexedSum = 0;
    double indexedSeconds = 1e9;
    for (int pass = 0; pass < kPasses; ++pass) {
        indexedSum = 0;
        start = Clock::now();
        for (const std::string& name : names)
            indexedSum += s->Find(name)->Type();
        indexedSeconds = std::min(indexedSeconds, Seconds(start));
    }

    long long facadeSum = 0;
    double facadeSeconds = 1e9;
    for (int pass = 0; pass < kPasses; ++pass) {
        facadeSum = 0;
        start = Clock::now();
        for (const std::string& name : names)
            facadeSum += store.GetEntryType(section, name);
        facadeSeconds = std::min(facadeSeconds, Seconds(start));
    }

    long long walkSum = 0;
    start = Clock::now();
    for (const std::string& name : names)
        walkSum += s->FindByWalk(name)->Type();
    const double walkSeconds = Seconds(start);

    if (indexedSum != walkSum || facadeSum != walkSum) {
        std::fprintf(stderr, "lookups disagree\n");
        return 1;
    }
    const double n = static_cast<double>(entries);
    std::printf("profile_lookup: %d entries in one section, %zu-byte file, loaded in %.1f ms\n",
                entries, image.size(), loadSeconds * 1e3);
    std::printf("  indexed lookup (section Find)        %10.1f ns/lookup\n",
                indexedSeconds / n * 1e9);
    std::printf("  indexed lookup (GetEntryType)        %10.1f ns/lookup\n",
                facadeSeconds / n * 1e9);
    std::printf("  linear walk in index order           %10.1f ns/lookup\n", walkSeconds / n * 1e9);
    std::printf("  walk / indexed                       %10.0fx\n", walkSeconds / indexedSeconds);
    return 0;
}
