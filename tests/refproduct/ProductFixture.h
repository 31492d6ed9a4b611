#pragma once
// A reference product set up in a scratch folder and registered in the test's scratch hive with
// the built service library, reached through the class factory as the installer reaches it.
#include "DictionaryFile.h"
#include "product/KernelService.h"
#include "testsupport/TempDir.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace kaldo::test {

inline constexpr std::uint32_t kER = 0x00020001;
inline constexpr std::uint32_t kRE = 0x00010002;

// Runs a built tool (kaldo-product, quillon-dist) with `args`; answers its exit code and, when
// asked, its standard output.
int RunProgram(const std::string& program, const std::vector<std::string>& args, std::string* output = nullptr);
int RunProductTool(const std::vector<std::string>& args, std::string* output = nullptr);
// `kaldo-product verify`: empty when the product verifies, else what it reported.
std::string ProductProblems();

class ProductFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A kernel service object created through the factory and logged in.
    std::shared_ptr<quillon::KernelService> Kernel();
    std::string Folder(const std::string& code) const { return root_ + "/directions/" + code; }
    DictionaryFile General(const std::string& code) const;
    // Writes a dictionary file into the work folder; `linked` copies the link attributes and
    // format level of the direction's general dictionary, as the installer does.
    std::string MakeDictionary(const std::string& name, std::uint32_t direction, bool linked = true,
                               std::uint16_t version = 4, std::size_t entries = 3);
    std::string GuidOf(const std::string& path) const;
    // Installs a profile referencing the given dictionary and TM UIDs.
    static std::string ProfileXml(const std::string& name, std::uint32_t direction,
                                  const std::vector<std::string>& dictionaries,
                                  const std::vector<std::string>& tmBases = {});
    std::vector<std::string> FilesIn(const std::string& folder) const;

    quillon::test::TempDir temp_;
    std::string root_;
    std::string work_;
};

} // namespace kaldo::test
