#pragma once
// The removal page against the reference product: collections installed through the kernel,
// the page driven through a recording view, messages answered by a script.
#include "ProductFixture.h"
#include "RecordingRemovalView.h"
#include "platform/Ports.h"
#include "testsupport/Doubles.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon::test {

inline const std::string kEnglishRussian = "Англо-русский";
inline const std::string kRussianEnglish = "Русско-английский";

class RemovalFixture : public kaldo::test::ProductFixture {
protected:
    void SetUp() override {
        ProductFixture::SetUp();
        kernel_ = Kernel();
        ASSERT_TRUE(kernel_);
    }
    void TearDown() override {
        kernel_.reset();
        ProductFixture::TearDown();
    }

    // Imports a dictionary of the direction; answers its GUID.
    std::string Import(const std::string& file, std::uint32_t direction = kaldo::test::kER) {
        const std::string path = MakeDictionary(file, direction);
        EXPECT_EQ(kernel_->ImportDictionary(path, direction, 0, nullptr), S_OK) << file;
        return GuidOf(path);
    }
    void Install(const std::string& name, std::uint32_t direction = kaldo::test::kER,
                 const std::vector<std::string>& dictionaries = {}) {
        std::string reply;
        ASSERT_EQ(kernel_->InstallProfile(ProfileXml(name, direction, dictionaries), 1, reply),
                  S_OK)
            << name;
    }
    // The collections the kernel holds for the direction, in its order.
    std::vector<std::string> Installed(std::uint32_t direction) {
        std::vector<std::string> names;
        std::uint16_t count = 0;
        EXPECT_EQ(kernel_->GetCollectionCount(direction, count), S_OK);
        for (std::uint16_t i = 0; i < count; ++i) {
            std::string name;
            EXPECT_EQ(kernel_->GetCollectionName(direction, i, name), S_OK);
            names.push_back(name);
        }
        return names;
    }
    // The journal lines of one operation.
    static std::vector<std::string> Journal(const std::string& operation) {
        std::string text;
        EXPECT_EQ(kaldo::test::RunProductTool({"journal"}, &text), 0);
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            if (line.find("\"operation\":\"" + operation + "\"") != std::string::npos)
                lines.push_back(std::move(line));
            start = end + 1;
        }
        return lines;
    }
    // The indices RemoveCollection was called with, in call order.
    static std::vector<int> RemovedIndices() {
        std::vector<int> indices;
        for (const auto& line : Journal("RemoveCollection")) {
            const auto at = line.find("\"index\":");
            indices.push_back(at == std::string::npos ? -1 : std::stoi(line.substr(at + 8)));
        }
        return indices;
    }

    std::shared_ptr<KernelService> kernel_;
    ScriptedMessages messages;
    ScopedPorts ports{Ports{nullptr, &messages, nullptr, nullptr, nullptr, nullptr}};
};

} // namespace quillon::test
