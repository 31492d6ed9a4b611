// Reading a large collection: a SETUP.INI of 50 000 item sections and a collection of 2 000
// profiles, loaded and read by the collection loader; then the same section-and-entry lookups
// the loader makes, through the stores' name index and through a walk in index order (comparing
// every name until the first equal one), measured side by side.
//
//   collection_read [PROFILES]   (default 2000; 25 items per profile)
#include "descriptions/DictCollectionLoader.h"
#include "descriptions/ProfileWriter.h"
#include "descriptions/XCryptedProfile2.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using quillon::CProfileValue;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

constexpr int kDictionariesPerProfile = 23;

} // namespace

int main(int argc, char** argv) {
    const int profiles = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (profiles <= 0) {
        std::fprintf(stderr, "usage: collection_read [PROFILES]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quillon-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    // Every profile lists 23 dictionaries (each shared with the next profile) and one TM base.
    quillon::CXCryptedProfile2 setup, raviri;
    std::vector<std::pair<std::string, std::string>> lookups; // what the loader asks
    auto item = [&](const std::string& key, const char* code, int size) {
        setup.AddEntry(key, "Size", CProfileValue::Int(size));
        setup.AddEntry(key, "NameOnCD", CProfileValue::String("DICTS\\" + key));
        setup.AddEntry(key, "Direction", CProfileValue::String(code));
        setup.AddEntry(key, "Name.R", CProfileValue::String("Словарь " + key));
        for (const char* e : {"Size", "NameOnCD", "Direction", "Name.R"})
            lookups.emplace_back(key, e);
    };
    int sections = 0;
    for (int p = 0; p < profiles; ++p) {
        const std::string key = "topic" + std::to_string(p);
        raviri.AddEntry("1 - templates", key, CProfileValue::String(""));
        std::string dictionaries;
        for (int d = 0; d < kDictionariesPerProfile; ++d)
            dictionaries += "dict" + std::to_string(p * kDictionariesPerProfile + d + (d == 0 && p > 0 ? -1 : 0)) + ";";
        item(key, "ER", 1000);
        setup.AddEntry(key, "Dictionaries", CProfileValue::String(dictionaries));
        setup.AddEntry(key, "BaseTM", CProfileValue::String("tm" + std::to_string(p)));
        for (const char* e : {"Dictionaries", "BaseTM", "Preproc", "Algo.1", "Keywords.1", "Keywords", "WWT",
                              "ShowTransVariants", "TranslitUnknown"})
            lookups.emplace_back(key, e);
        ++sections;
    }
    for (int d = 0; d < profiles * kDictionariesPerProfile; ++d, ++sections)
        item("dict" + std::to_string(d), "ER", 5000);
    for (int t = 0; t < profiles; ++t, ++sections)
        item("tm" + std::to_string(t), "ER", 300);
    raviri.AddEntry("1 - collection", "Name.R", CProfileValue::String("Большая коллекция"));

    const std::string setupPath = (dir / "SETUP.INI").string(), raviriPath = (dir / "RAVIRI.INF").string();
    if (!quillon::SaveProfileFile(setup, setupPath) || !quillon::SaveProfileFile(raviri, raviriPath)) {
        std::fprintf(stderr, "cannot write the description files\n");
        return 1;
    }

    // The loader, end to end.
    auto directions = std::make_unique<quillon::InstalledDirections>();
    (*directions)[static_cast<std::int32_t>(quillon::DirectionFromCode("ER"))] = "Англо-русский";
    auto start = Clock::now();
    quillon::CDictCollectionLoader loader(setupPath, raviriPath, dir.string() + "/", std::move(directions));
    if (!loader.LoadDescriptions()) {
        std::fprintf(stderr, "load failed\n");
        return 1;
    }
    const double loadSeconds = Seconds(start);
    start = Clock::now();
    quillon::CSmartPtr<quillon::CDictCollection> collection(new quillon::CDictCollection);
    loader.ReadCollection("1", *collection);
    const double readSeconds = Seconds(start);
    const std::size_t items = collection->GetProfileCount() + collection->GetDictionaries().size() + collection->GetBasesTM().size();

    // The loader's lookups through the index and through a walk.
    quillon::CXCryptedProfile2 store;
    if (!store.Load(setupPath))
        return 1;
    const auto& impl = store.Implementation();
    long long indexedHits = 0;
    start = Clock::now();
    for (const auto& [section, entry] : lookups)
        if (const auto* s = impl.FindSection(section))
            indexedHits += s->Find(entry) != nullptr;
    const double indexedSeconds = Seconds(start);
    // The walk is slow: a sample of the same sequence, spread over it.
    const std::size_t step = std::max<std::size_t>(1, lookups.size() / 2000);
    long long walkHits = 0, sampledIndexedHits = 0;
    std::size_t walked = 0;
    start = Clock::now();
    for (std::size_t i = 0; i < lookups.size(); i += step, ++walked)
        if (const auto* s = impl.FindByWalk(lookups[i].first))
            walkHits += s->FindByWalk(lookups[i].second) != nullptr;
    const double walkSeconds = Seconds(start);
    for (std::size_t i = 0; i < lookups.size(); i += step)
        if (const auto* s = impl.FindSection(lookups[i].first))
            sampledIndexedHits += s->Find(lookups[i].second) != nullptr;
    fs::remove_all(dir);
    if (walkHits != sampledIndexedHits) {
        std::fprintf(stderr, "lookups disagree\n");
        return 1;
    }

    const double perIndexed = indexedSeconds / static_cast<double>(lookups.size());
    const double perWalk = walkSeconds / static_cast<double>(walked);
    std::printf("collection_read: SETUP.INI of %d item sections, a collection of %d profiles (%zu items read)\n",
                sections, profiles, items);
    std::printf("  load both description files          %10.1f ms (%.2f us per section)\n", loadSeconds * 1e3,
                loadSeconds / sections * 1e6);
    std::printf("  read the collection                  %10.1f ms (%.2f us per item)\n", readSeconds * 1e3,
                readSeconds / static_cast<double>(items) * 1e6);
    std::printf("  loader's lookups, indexed            %10.1f ns/lookup (%zu lookups, %lld found)\n", perIndexed * 1e9,
                lookups.size(), indexedHits);
    std::printf("  the same, linear walk (sampled)      %10.1f ns/lookup (%zu lookups)\n", perWalk * 1e9, walked);
    std::printf("  walk / indexed                       %10.0fx\n", perWalk / perIndexed);
    std::printf("  a whole read by walking would take   %10.1f s\n", perWalk * static_cast<double>(lookups.size()));
    return 0;
}
