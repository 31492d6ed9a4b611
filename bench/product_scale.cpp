// A product that holds thousands of collections, as a user meets it: one collection of N
// English–Russian profiles, one small dictionary each, built with quillon-dist build and
// installed with quillon-cli install; then what lists, checks and removes them. For each N, side
// by side in one run: the distribution's listing and plan, the installation's cost per profile
// early and late in it (from its step log), quillon-cli installed, opening the removal page,
// kaldo-product verify and list, and the removal of everything.
//
//   product_scale [N...]     (default 100 1000 10000)
#include <algorithm>
#include "BenchRun.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using bench::Run;
using bench::Execute;

// The step log's milliseconds of each profile's dictionary and registration, in order.
std::vector<double> ProfileCosts(const fs::path& log) {
    std::ifstream in(log);
    std::vector<double> costs;
    double pending = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.find("\"event\":\"item-finished\"") == std::string::npos)
            continue;
        const auto ms = line.find("\"ms\":");
        const double value = ms == std::string::npos ? 0 : std::atof(line.c_str() + ms + 5);
        if (line.find("\"kind\":\"profile\"") != std::string::npos) {
            costs.push_back(pending + value);
            pending = 0;
        } else {
            pending += value;
        }
    }
    return costs;
}

// The mean of costs[from, from + count).
double Mean(const std::vector<double>& costs, std::size_t from, std::size_t count) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = from; i < std::min(costs.size(), from + count); ++i, ++n)
        sum += costs[i];
    return n ? sum / double(n) : 0;
}

struct Figures {
    int profiles = 0;
    bool ok = true;
    double build = 0, list = 0, plan = 0, install = 0, installed = 0, removalPage = 0, verify = 0, productList = 0,
           removeAll = 0, early = 0, late = 0;
};

Figures Measure(int n) {
    Figures f;
    f.profiles = n;
    const fs::path dir = fs::temp_directory_path() / ("quillon-product-scale-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "src");
    const std::vector<std::string> env{"QUILLON_REGISTRY=" + (dir / "registry.reg").string(),
                                       "TMPDIR=" + (dir / "tmp").string(), "XDG_CACHE_HOME=" + (dir / "cache").string()};
    fs::create_directories(dir / "tmp");
    const std::string cli = QUILLON_CLI_TOOL, dist = QUILLON_DIST_TOOL, product = KALDO_PRODUCT_TOOL;
    const auto check = [&](const Run& r, const char* what) {
        if (r.status != 0) {
            std::fprintf(stderr, "product_scale: %s ended with %d\n", what, r.status);
            f.ok = false;
        }
        return r.seconds;
    };
    check(Execute({product, "init", (dir / "product").string(), "--directions", "ER", "--library",
                   KALDO_REFPRODUCT_LIBRARY},
                  env),
          "kaldo-product init");
    {
        std::ofstream(dir / "src/words.txt") << "house\tдом\ncat\tкошка\n";
        std::ofstream manifest(dir / "src/scale.manifest");
        manifest << "[collection 1]\nName.R = Масштаб\nProfiles =";
        for (int i = 0; i < n; ++i)
            manifest << (i ? "; P" : " P") << i;
        manifest << "\n";
        for (int i = 0; i < n; ++i)
            manifest << "[profile P" << i << "]\nDirection = ER\nName.R = Профиль " << i << "\nDictionaries = d" << i
                     << ".dct\n[dictionary d" << i << ".dct]\nDirection = ER\nName.R = Словарь " << i
                     << "\nWords = words.txt\n";
    }
    const std::string distFolder = (dir / "dist").string(), log = (dir / "install.jsonl").string();
    f.build = check(Execute({dist, "build", (dir / "src/scale.manifest").string(), distFolder}, env), "build");
    f.list = check(Execute({cli, "list", distFolder}, env), "list");
    f.plan = check(Execute({cli, "plan", distFolder, "--collection", "1"}, env), "plan");
    f.install = check(Execute({cli, "install", distFolder, "--collection", "1", "--yes", "--log", log}, env), "install");
    const std::vector<double> costs = ProfileCosts(log);
    if (costs.size() != static_cast<std::size_t>(n)) {
        std::fprintf(stderr, "product_scale: the log holds %zu profiles of %d\n", costs.size(), n);
        f.ok = false;
    }
    // The 100th profile and the last, each the mean of 20 around it.
    f.early = Mean(costs, std::min<std::size_t>(90, costs.size() > 20 ? costs.size() - 20 : 0), 20);
    f.late = Mean(costs, costs.size() > 20 ? costs.size() - 20 : 0, 20);
    f.installed = check(Execute({cli, "installed"}, env), "installed");
    // The removal page opened and left: a name that is not installed removes nothing (exit 4).
    f.removalPage = Execute({cli, "remove", "--direction", "ER", "--collection", "none such"}, env).seconds;
    f.verify = check(Execute({product, "verify"}, env), "verify");
    f.productList = check(Execute({product, "list"}, env), "kaldo-product list");
    f.removeAll = check(Execute({cli, "remove", "--all", "--yes"}, env), "remove --all");
    fs::remove_all(dir);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {100, 1000, 10000};
    if (std::any_of(sizes.begin(), sizes.end(), [](int n) { return n < 20; })) {
        std::fprintf(stderr, "usage: product_scale [N...]   (each at least 20)\n");
        return 2;
    }
    std::vector<Figures> all;
    for (const int n : sizes)
        all.push_back(Measure(n));
    std::printf("product_scale: one collection of N English-Russian profiles, one small dictionary each\n");
    std::printf("  %-44s", "N profiles");
    for (const auto& f : all)
        std::printf(" %10d", f.profiles);
    std::printf("\n");
    const auto row = [&](const char* what, double Figures::*field, double scale, const char* unit) {
        std::printf("  %-44s", what);
        for (const auto& f : all)
            std::printf(" %8.1f %s", f.*field * scale, unit);
        std::printf("\n");
    };
    row("quillon-dist build", &Figures::build, 1, "s");
    row("quillon-cli list DIST", &Figures::list, 1e3, "ms");
    row("quillon-cli plan DIST", &Figures::plan, 1e3, "ms");
    row("quillon-cli install (whole)", &Figures::install, 1, "s");
    row("  install, per profile around the 100th", &Figures::early, 1, "ms");
    row("  install, per profile at the last", &Figures::late, 1, "ms");
    row("quillon-cli installed", &Figures::installed, 1e3, "ms");
    row("removal page opened (quillon-cli remove)", &Figures::removalPage, 1e3, "ms");
    row("kaldo-product verify", &Figures::verify, 1e3, "ms");
    row("kaldo-product list", &Figures::productList, 1e3, "ms");
    row("quillon-cli remove --all", &Figures::removeAll, 1e3, "ms");
    std::printf("  %-44s", "last / 100th profile");
    for (const auto& f : all)
        std::printf(" %9.2fx", f.early > 0 ? f.late / f.early : 0.0);
    std::printf("\n");
    return std::all_of(all.begin(), all.end(), [](const Figures& f) { return f.ok; }) ? 0 : 1;
}
