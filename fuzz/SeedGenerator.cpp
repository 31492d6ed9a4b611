// fuzz_seeds: writes the seed corpora of the fuzz targets, made by the project's own writers.
//   fuzz_seeds DIST INFDIST OUT
// DIST and INFDIST are the sample distribution built by `quillon-dist build` without and with
// --setup-inf; seeds go to OUT/<target>/seed-*. Not a test: run by hand when a format changes
// (docs/fuzzing.md).
#include "DictionaryFile.h"
#include "descriptions/DictCollectionLoader.h"
#include "descriptions/LanguageDirections.h"
#include "descriptions/ProfileText.h"
#include "descriptions/ProfileWriter.h"
#include "install/Packer.h"
#include "model/DictCollection.h"
#include "model/DictDistrib.h"
#include "platform/posix/HiveDocument.h"
#include "platform/posix/PosixPorts.h"
#include "support/CompoundFileWriter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace quillon;
namespace fs = std::filesystem;

namespace {

std::string out;

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "fuzz_seeds: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
    fs::create_directories(out + "/" + target);
    std::ofstream(out + "/" + target + "/seed-" + name, std::ios::binary) << bytes;
}
template <typename Bytes>
void Seed(const std::string& target, const std::string& name, const Bytes& bytes) {
    Seed(target, name, std::string(bytes.begin(), bytes.end()));
}

std::string LengthPrefixed(const std::string& first, const std::string& second) {
    const std::uint32_t n = std::uint32_t(first.size());
    std::string bytes{char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    return bytes + first + second;
}

void ProfileSeeds(const std::string& dist) {
    // Every type of entry in a small store, and the sample distribution's two files.
    CXCryptedProfile2 small;
    small.AddEntry("1 - info", "Name.R", CProfileValue::String("Англо-русский"));
    small.AddEntry("1 - info", "Size", CProfileValue::Int(-1024));
    small.AddEntry("2 - flags", "Hidden", CProfileValue::Bool(true));
    small.AddEntry("2 - flags", "Blob", CProfileValue::Bytes({0x00, 0xff, 0x1a}));
    std::vector<std::uint8_t> image;
    WriteProfileImage(small, image);
    Seed("profile_file", "small", image);
    Seed("profile_text", "small", PrintProfileText(small));
    for (const char* name : {"RAVIRI.INF", "SETUP.INI"}) {
        const std::string bytes = Read(dist + "/" + name);
        Seed("profile_file", name, bytes);
        CXCryptedProfile2 store;
        store.LoadImage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        Seed("profile_text", name, PrintProfileText(store));
    }
    Seed("collection", "demo", LengthPrefixed(Read(dist + "/RAVIRI.INF"), Read(dist + "/SETUP.INI")));
}

void CompoundSeeds(const std::string& infDist) {
    Seed("compound_file", "setup-inf", Read(infDist + "/setup.inf"));
    for (int version : {3, 4}) {
        CompoundFileWriter writer(version);
        writer.AddStream("RAVIRI.INF", std::vector<std::uint8_t>(100, 'r'));
        writer.AddStream("big", std::vector<std::uint8_t>(5000, 'b')); // past the mini stream
        writer.AddStream("Пусто", {});
        Seed("compound_file", "v" + std::to_string(version), writer.Build());
    }
}

void PackedSeeds() {
    std::string words;
    for (int i = 0; i < 120; ++i)
        words += "word" + std::to_string(i * 7919 % 1000) + "\tслово\n";
    Seed("unpack", "words", PackData(words.data(), words.size()));
    Seed("unpack", "empty", PackData("", 0));
    const std::string run(9000, 'a'); // long matches, output past the ring
    Seed("unpack", "run", PackData(run.data(), run.size(), PackOptions{.best = false}));
}

void HiveSeeds() {
    posix::HiveDocument hive;
    const std::string key = "SOFTWARE\\Velmar Soft\\KALDO\\9.0";
    hive.SetValue(RegistryRoot::LocalMachine, key, "", RegistryValue::String("default"));
    hive.SetValue(RegistryRoot::LocalMachine, key, "Path", RegistryValue::String("/opt/kaldo \"q\" \\"));
    hive.SetValue(RegistryRoot::LocalMachine, key + "\\Dirs", "ER", RegistryValue::Dword(0x20001));
    hive.SetValue(RegistryRoot::CurrentUser, key, "Blob", RegistryValue::Binary({1, 2, 3, 250}));
    RegistryValue multi;
    multi.type = 7;
    multi.data = {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0};
    hive.SetValue(RegistryRoot::ClassesRoot, "CLSID\\{0}", "Multi", multi);
    Seed("hive", "written", hive.Serialize());
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n; comment\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
                             "\"x\"=hex(2):41,00,\\\r\n  00,00\r\n@=dword:0000000a\r\n\"gone\"=-\r\n"
                             "[-HKEY_CURRENT_USER\\B]\r\n[HKEY_USERS\\Other]\r\n\"k\"=\"v\"\r\n";
    Seed("hive", "text", text);
    std::string utf16 = "\xff\xfe";
    for (char c : text)
        utf16 += std::string{c, '\0'};
    Seed("hive", "utf16", utf16);
}

void DictionarySeeds() {
    kaldo::DictionaryFile file;
    file.SetTitleBytes("General EN-RU");
    file.SetDirectionId(0x20001);
    file.SetGuid("{6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8}");
    file.SetProperty("Name.R", {'x', 'y'});
    file.Entries().push_back({"word", {"слово", "речь"}});
    file.Entries().push_back({"house", {}});
    Seed("dict_file", "slotted", kaldo::SerializeDictionary(file));
    Seed("dict_file", "legacy-v4", kaldo::SerializeLegacyDictionary(file));
    file.SetVersion(3);
    Seed("dict_file", "legacy-v3", kaldo::SerializeLegacyDictionary(file));
}

void XmlSeeds(const std::string& dist) {
    posix::InstallPosixPorts();
    auto directions = std::make_unique<InstalledDirections>();
    for (const char* code : {"ER", "GR", "FR"})
        (*directions)[std::int32_t(DirectionFromCode(code))] = code;
    CDictCollectionLoader loader(dist + "/SETUP.INI", dist + "/RAVIRI.INF", dist + "/", std::move(directions));
    CDictDistrib distribution;
    loader.ListCollections(distribution);
    for (const CDictCollection& listed : distribution.GetCollections()) {
        CDictCollection collection;
        loader.ReadCollection(listed.GetIdText(), collection);
        for (const auto& profile : collection.GetProfiles())
            Seed("profile_xml", "topic-" + profile->GetKey(), std::string(1, '\0') + profile->GetXmlDocument());
        for (const auto& [key, tm] : collection.GetBasesTM())
            Seed("profile_xml", "memory-" + key, "\x01" + tm->GetXmlDocument());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: fuzz_seeds DIST INFDIST OUT\n");
        return 2;
    }
    out = argv[3];
    ProfileSeeds(argv[1]);
    CompoundSeeds(argv[2]);
    PackedSeeds();
    HiveSeeds();
    DictionarySeeds();
    XmlSeeds(argv[1]);
    const char* source = QUILLON_SOURCE_DIR "/samples/demo/demo.manifest";
    Seed("manifest", "demo", Read(source));
    std::printf("seeds written to %s\n", out.c_str());
    return 0;
}
