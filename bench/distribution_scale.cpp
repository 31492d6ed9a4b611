// A distribution that is large in the two ways hostile or careless media are: many collections,
// and many names that miss or differ in letter case from the files on disk. For each size it
// times what quillon-cli list/plan does (the collection page's listing, then the lookup of every
// listed collection by identifier) and what quillon-dist verify does (every named file looked up
// below the folder), and counts the folder listings read. Run at 1/10 and at full size, side by
// side: the costs grow linearly.
//
//   distribution_scale [COLLECTIONS, default 20000] [NAMES, default 4000]
#include "descriptions/DictCollectionLoader.h"
#include "descriptions/LanguageDirections.h"
#include "descriptions/ProfileWriter.h"
#include "descriptions/XCryptedProfile2.h"
#include "product/DistributionFolder.h"
#include "selection/SelectCollectionDlg.h"
#include "tools/DistributionVerifier.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using quillon::CProfileValue;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// `collections` collections of one profile each, the profiles sharing one dictionary; then
// `names` dictionaries of one more collection, whose NameOnCD spells in lower case files that
// lie on disk in upper case (every second one missing).
bool Write(const fs::path& dir, int collections, int names) {
    quillon::CXCryptedProfile2 setup, raviri;
    setup.AddEntry("shared.dct", "NameOnCD", CProfileValue::String("DICT\\shared.dct"));
    setup.AddEntry("shared.dct", "Direction", CProfileValue::String("ER"));
    setup.AddEntry("shared.dct", "Name.R", CProfileValue::String("Общий"));
    for (int c = 1; c <= collections; ++c) {
        const std::string id = std::to_string(c), key = "P" + id;
        raviri.AddEntry(id + " - templates", key, CProfileValue::String(""));
        raviri.AddEntry(id + " - collection", "Name.R", CProfileValue::String("Коллекция " + id));
        setup.AddEntry(key, "Direction", CProfileValue::String("ER"));
        setup.AddEntry(key, "Name.R", CProfileValue::String("Профиль " + id));
        setup.AddEntry(key, "Dictionaries", CProfileValue::String("shared.dct"));
    }
    const std::string last = std::to_string(collections + 1);
    raviri.AddEntry(last + " - templates", "NAMES", CProfileValue::String(""));
    raviri.AddEntry(last + " - collection", "Name.R", CProfileValue::String("Имена"));
    setup.AddEntry("NAMES", "Direction", CProfileValue::String("ER"));
    setup.AddEntry("NAMES", "Name.R", CProfileValue::String("Имена"));
    std::string list;
    fs::create_directories(dir / "DICT");
    for (int n = 0; n < names; ++n) {
        const std::string key = "n" + std::to_string(n) + ".dct";
        list += key + ";";
        setup.AddEntry(key, "NameOnCD", CProfileValue::String("dict\\" + key));
        setup.AddEntry(key, "Direction", CProfileValue::String("ER"));
        setup.AddEntry(key, "Name.R", CProfileValue::String("Словарь " + std::to_string(n)));
        if (n % 2 == 0)
            std::ofstream(dir / "DICT" / ("N" + std::to_string(n) + ".DCT")) << "not packed";
    }
    setup.AddEntry("NAMES", "Dictionaries", CProfileValue::String(list));
    return quillon::SaveProfileFile(setup, (dir / "SETUP.INI").string()) &&
           quillon::SaveProfileFile(raviri, (dir / "RAVIRI.INF").string());
}

struct Figures {
    double list = 0, lookup = 0, sort = 0, read = 0, verify = 0;
    int listings = 0, opened = 0;
    std::size_t listed = 0;
};

Figures Measure(int collections, int names) {
    const fs::path dir = fs::temp_directory_path() / ("quillon-scale-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Figures f;
    if (!Write(dir, collections, names))
        return f;
    const std::string folder = dir.string() + "/";
    auto directions = [] {
        auto d = std::make_unique<quillon::InstalledDirections>();
        (*d)[static_cast<std::int32_t>(quillon::DirectionFromCode("ER"))] = "Англо-русский";
        return d;
    };
    // The collection page's listing and the lookup of every collection it lists.
    auto start = Clock::now();
    quillon::CDictCollectionLoader lister(folder + "SETUP.INI", folder + "RAVIRI.INF", folder, directions());
    quillon::CDictDistrib distribution;
    lister.ListCollections(distribution);
    f.list = Seconds(start);
    start = Clock::now();
    for (const quillon::CDictCollection& c : distribution.GetCollections())
        f.listed += distribution.FindCollection(c.GetIdText()).GetIdText() == c.GetIdText();
    f.lookup = Seconds(start);
    // The page's sorted list (quillon-cli's view of it).
    start = Clock::now();
    quillon::MemoryCollectionList view;
    int item = 1;
    for (const quillon::CDictCollection& c : distribution.GetCollections())
        view.AddEntry(c.GetDisplayName(), item++);
    f.sort = Seconds(start);
    // Every name opened below the folder, as the installation and plan open the packed files.
    start = Clock::now();
    quillon::DistributionFolder files(folder);
    for (int n = 0; n < names; ++n)
        f.opened += static_cast<bool>(files.Open("dict\\n" + std::to_string(n) + ".dct"));
    f.read = Seconds(start);
    f.listings = files.Listings();
    // quillon-dist verify, every named file opened below the folder.
    start = Clock::now();
    quillon::dist::VerifyDistribution(dir.string(), nullptr);
    f.verify = Seconds(start);
    fs::remove_all(dir);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const int collections = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int names = argc > 2 ? std::atoi(argv[2]) : 4000;
    if (collections <= 0 || names <= 0) {
        std::fprintf(stderr, "usage: distribution_scale [COLLECTIONS] [NAMES]\n");
        return 2;
    }
    const Figures small = Measure(collections / 10, names / 10);
    const Figures full = Measure(collections, names);
    if (full.listed != static_cast<std::size_t>(collections + 1) || full.opened != (names + 1) / 2) {
        std::fprintf(stderr, "lookups failed: %zu of %d\n", full.listed, collections + 1);
        return 1;
    }
    std::printf("distribution_scale: %d and %d collections; %d and %d names that miss or differ in case\n",
                collections / 10, collections, names / 10, names);
    std::printf("  %-46s %10s %10s %8s\n", "", "1/10", "full", "growth");
    const auto row = [](const char* what, double a, double b) {
        std::printf("  %-46s %8.1f ms %8.1f ms %7.1fx\n", what, a * 1e3, b * 1e3, a > 0 ? b / a : 0.0);
    };
    row("list the collections (collection page)", small.list, full.list);
    row("find every listed collection by identifier", small.lookup, full.lookup);
    row("sort them into the page's list", small.sort, full.sort);
    row("list + find + sort (quillon-cli list / plan)", small.list + small.lookup + small.sort,
        full.list + full.lookup + full.sort);
    row("open every name below the folder (install, plan)", small.read, full.read);
    row("quillon-dist verify", small.verify, full.verify);
    std::printf("  names opened / folder listings read          %5d / %d %5d / %d\n", small.opened, small.listings,
                full.opened, full.listings);
    return 0;
}
