// kaldo-product: sets up and inspects the reference product (docs/kaldo-product.md).
#include "DirectionTable.h"
#include "Journal.h"
#include "Product.h"
#include "ProductRegistry.h"
#include "platform/posix/HiveRegistry.h"
#include "product/Paths.h"
#include "support/Version.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits.h>
#include <string>
#include <unordered_map>
#include <unistd.h>
#include <vector>

namespace {

using kaldo::Product;

// The usage on `out`: standard error for a mistake, standard output for --help.
void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: kaldo-product COMMAND\n"
                 "  init ROOT [--directions ER,RE,...] [--lang 0x0419] [--library PATH] [--installer PATH]\n"
                 "  status\n"
                 "  list [--json]\n"
                 "  journal\n"
                 "  verify\n"
                 "  lock DICT | unlock DICT\n"
                 "  fault OPERATION HRESULT [COUNT]   (COUNT 0 clears the fault)\n"
                 "  --help | --version\n"
                 "The hive is $QUILLON_REGISTRY, else /etc/velmar-soft/registry.reg.\n");
}

int Usage() {
    PrintUsage(stderr);
    return 2;
}

std::string SelfFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string path(buf, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/'));
}

std::string DefaultLibrary() {
    const std::string beside = SelfFolder() + "/libkaldo_refproduct.so";
    if (quillon::FileExists(beside))
        return beside;
    return KALDO_REFPRODUCT_LIBRARY;
}

// The installer "init" registers as "Apps" "Morvel": the quillon beside this tool (an installed
// system), else the one built with it; empty when there is none.
std::string DefaultInstaller() {
    const std::string beside = SelfFolder() + "/quillon";
    if (quillon::FileExists(beside))
        return beside;
#ifdef QUILLON_INSTALLER
    if (quillon::FileExists(QUILLON_INSTALLER))
        return QUILLON_INSTALLER;
#endif
    return {};
}

std::unique_ptr<Product> OpenProduct() {
    std::string error;
    auto product = Product::OpenFromHive(quillon::posix::HiveRegistry::DefaultPath(), error);
    if (!product)
        std::fprintf(stderr, "kaldo-product: %s\n", error.c_str());
    return product;
}

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

int Init(const std::vector<std::string>& args) {
    if (args.empty())
        return Usage();
    kaldo::InitOptions options;
    // The hive keeps these paths for programs started from any folder: never relative ones.
    const auto absolute = [](const std::string& path) {
        char cwd[PATH_MAX];
        if (path.empty() || path.front() == '/' || !::getcwd(cwd, sizeof cwd))
            return path;
        return std::string(cwd) + "/" + path;
    };
    options.root = absolute(args[0]);
    while (options.root.size() > 1 && options.root.back() == '/')
        options.root.pop_back();
    options.library = DefaultLibrary();
    options.installer = DefaultInstaller();
    options.hivePath = quillon::posix::HiveRegistry::DefaultPath();
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size())
            return Usage();
        const std::string& v = args[++i];
        if (a == "--directions") {
            options.directions.clear();
            for (std::size_t start = 0; start <= v.size();) {
                const auto end = std::min(v.find(',', start), v.size());
                if (end > start)
                    options.directions.push_back(v.substr(start, end - start));
                start = end + 1;
            }
        } else if (a == "--lang") {
            auto n = kaldo::ParseNumber(v);
            if (!n || *n < 0 || *n > 0xFFFF)
                return Usage();
            options.languageId = static_cast<std::uint32_t>(*n);
        } else if (a == "--library") {
            options.library = absolute(v);
        } else if (a == "--installer") {
            options.installer = absolute(v);
        } else {
            return Usage();
        }
    }
    std::string error;
    if (!Product::Initialise(options, error)) {
        std::fprintf(stderr, "kaldo-product: %s\n", error.c_str());
        return 1;
    }
    std::printf("product at %s registered in %s\n", options.root.c_str(), options.hivePath.c_str());
    return 0;
}

int Status() {
    auto product = OpenProduct();
    if (!product)
        return 1;
    std::printf("root: %s\n", product->Root().c_str());
    for (const auto& d : product->Directions())
        std::printf("%s %s %-24s dictionaries: %zu  collections: %zu\n", d.code.c_str(), Hex(d.id).c_str(),
                    kaldo::DirectionName(d.id).c_str(), product->Dictionaries(d.id).size(),
                    product->CollectionIndex(d.id).size());
    std::printf("TM bases: %zu\n", product->TmBases().size());
    return 0;
}

int List(const std::vector<std::string>& args) {
    const bool json = !args.empty() && args[0] == "--json";
    if (!args.empty() && !json)
        return Usage();
    auto product = OpenProduct();
    if (!product)
        return 1;
    // File names by UID, looked up once per reference (a product may hold thousands).
    std::unordered_map<std::string, std::string> dictionaryFiles, tmFiles;
    for (auto& d : product->Dictionaries())
        dictionaryFiles.emplace(d.uid, d.file);
    for (auto& t : product->TmBases())
        tmFiles.emplace(t.uid, t.file);
    auto fileOf = [](const std::unordered_map<std::string, std::string>& files, const std::string& uid) {
        const auto found = files.find(uid);
        return found == files.end() ? std::string() : found->second;
    };
    auto dictFile = [&](const std::string& uid) { return fileOf(dictionaryFiles, uid); };
    auto tmFile = [&](const std::string& uid) { return fileOf(tmFiles, uid); };
    using kaldo::JsonQuote;
    std::string out = json ? "{\"directions\":[" : "";
    bool firstDirection = true;
    for (const auto& d : product->Directions()) {
        if (json) {
            out += std::string(firstDirection ? "" : ",") + "{\"code\":" + JsonQuote(d.code) + ",\"id\":" +
                   std::to_string(d.id) + ",\"name\":" + JsonQuote(kaldo::DirectionName(d.id)) + ",\"collections\":[";
        } else {
            out += d.code + " " + kaldo::DirectionName(d.id) + "\n";
        }
        firstDirection = false;
        bool firstCollection = true;
        for (const auto& c : product->Collections(d.id)) {
            if (json) {
                out += std::string(firstCollection ? "" : ",") + "{\"name\":" + JsonQuote(c.name) +
                       ",\"fullName\":" + JsonQuote(c.fullName) + ",\"state\":" + std::to_string(c.state) +
                       ",\"dictionaries\":[";
                for (std::size_t i = 0; i < c.dictionaries.size(); ++i)
                    out += std::string(i ? "," : "") + "{\"uid\":" + JsonQuote(c.dictionaries[i]) +
                           ",\"file\":" + JsonQuote(dictFile(c.dictionaries[i])) + "}";
                out += "],\"tmBases\":[";
                for (std::size_t i = 0; i < c.tmBases.size(); ++i)
                    out += std::string(i ? "," : "") + "{\"uid\":" + JsonQuote(c.tmBases[i]) +
                           ",\"file\":" + JsonQuote(tmFile(c.tmBases[i])) + "}";
                out += "]}";
            } else {
                out += "  " + c.name + (c.fullName.empty() ? "" : " (" + c.fullName + ")") + "\n";
                for (const auto& uid : c.dictionaries)
                    out += "    dictionary " + uid + " " + dictFile(uid) + "\n";
                for (const auto& uid : c.tmBases)
                    out += "    TM base " + uid + " " + tmFile(uid) + "\n";
            }
            firstCollection = false;
        }
        if (json)
            out += "]}";
    }
    if (json)
        out += "]}\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}

int Journal() {
    auto product = OpenProduct();
    if (!product)
        return 1;
    std::ifstream in(kaldo::JournalPath(product->Root()), std::ios::binary);
    std::cout << in.rdbuf();
    return 0;
}

int Verify() {
    auto product = OpenProduct();
    if (!product)
        return 1;
    const auto problems = product->Verify();
    for (const auto& p : problems)
        std::printf("%s\n", p.c_str());
    if (problems.empty())
        std::printf("ok\n");
    return problems.empty() ? 0 : 1;
}

int Lock(const std::vector<std::string>& args, bool locked) {
    if (args.size() != 1)
        return Usage();
    auto product = OpenProduct();
    if (!product)
        return 1;
    if (!product->SetLocked(args[0], locked)) {
        std::fprintf(stderr, "kaldo-product: no installed dictionary \"%s\"\n", args[0].c_str());
        return 1;
    }
    return 0;
}

int Fault(const std::vector<std::string>& args) {
    if (args.size() < 2 || args.size() > 3)
        return Usage();
    auto status = kaldo::ParseNumber(args[1]);
    auto count = args.size() == 3 ? kaldo::ParseNumber(args[2]) : std::optional<std::int64_t>(1);
    if (!status || !count || *count < 0 || *count > 0xFFFFFFFFll)
        return Usage();
    std::string error;
    if (!kaldo::PlanFault(quillon::posix::HiveRegistry::DefaultPath(), args[0],
                          static_cast<std::int32_t>(static_cast<std::uint32_t>(*status)),
                          static_cast<std::uint32_t>(*count), &error)) {
        std::fprintf(stderr, "kaldo-product: cannot write the registry: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all(argv + 1, argv + argc);
    const auto given = [&](const char* flag) { return std::find(all.begin(), all.end(), flag) != all.end(); };
    if (given("--help") || given("-h")) {
        PrintUsage(stdout);
        return 0;
    }
    if (given("--version")) {
        std::printf("kaldo-product %s\n", quillon::QuillonVersion());
        return 0;
    }
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "init")
        return Init(args);
    if (command == "status" && args.empty())
        return Status();
    if (command == "list")
        return List(args);
    if (command == "journal" && args.empty())
        return Journal();
    if (command == "verify" && args.empty())
        return Verify();
    if (command == "lock")
        return Lock(args, true);
    if (command == "unlock")
        return Lock(args, false);
    if (command == "fault")
        return Fault(args);
    return Usage();
}
