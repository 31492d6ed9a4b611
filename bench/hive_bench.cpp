// Hive parsing cost against file size: files of doubling size in three shapes (keys 512 levels
// deep, many values in one key, many sibling keys, which are also listed); prints the time per
// MB of each and the ratio of each doubling's time, which stays near 2 when the cost is linear.
#include "platform/posix/HiveDocument.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using quillon::posix::HiveDocument;

// `count` keys, each 512 levels deep, differing at their last level.
std::string DeepKeys(std::size_t count) {
    std::string parent = "[HKEY_LOCAL_MACHINE";
    for (int i = 0; i < 511; ++i)
        parent += "\\level";
    std::string text = "Windows Registry Editor Version 5.00\n";
    for (std::size_t i = 0; i < count; ++i)
        text += parent + "\\k" + std::to_string(i) + "]\n\"v\"=dword:1\n";
    return text;
}

std::string ManyValues(std::size_t count) {
    std::string text = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Values]\n";
    for (std::size_t i = 0; i < count; ++i)
        text += "\"value " + std::to_string(i) + "\"=\"text\"\n";
    return text;
}

std::string ManyKeys(std::size_t count) {
    std::string text = "Windows Registry Editor Version 5.00\n";
    for (std::size_t i = 0; i < count; ++i)
        text += "[HKEY_LOCAL_MACHINE\\Keys\\key " + std::to_string(i) + "]\n";
    return text;
}

// Parsing `text`, then listing the subkeys of HKEY_LOCAL_MACHINE\Keys in order.
double Seconds(const std::string& text) {
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        std::string error;
        auto doc = HiveDocument::Parse(text, error);
        if (!doc) {
            std::fprintf(stderr, "hive_bench: %s\n", error.c_str());
            return -1;
        }
        std::string name;
        for (std::uint32_t i = 0;
             doc->EnumSubkey(quillon::RegistryRoot::LocalMachine, "Keys", i, name) == 0; ++i) {
        }
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = s < best ? s : best;
    }
    return best;
}

} // namespace

int main() {
    struct Shape {
        const char* name;
        std::string (*make)(std::size_t);
        std::size_t first;
    };
    const Shape shapes[] = {{"keys 512 levels deep", DeepKeys, 250},
                            {"values in one key", ManyValues, 100000},
                            {"sibling keys, parsed and listed", ManyKeys, 50000}};
    for (const Shape& shape : shapes) {
        std::printf("%s\n", shape.name);
        double previous = 0;
        for (std::size_t count = shape.first; count <= shape.first * 8; count *= 2) {
            const std::string text = shape.make(count);
            const double s = Seconds(text);
            if (s < 0)
                return 1;
            const double mb = static_cast<double>(text.size()) / 1e6;
            std::printf("  %8zu items  %7.2f MB  %7.3f s  %6.1f MB/s", count, mb, s, mb / s);
            if (previous > 0)
                std::printf("  x%.2f for twice the size", s / previous);
            std::printf("\n");
            previous = s;
        }
    }
    return 0;
}
