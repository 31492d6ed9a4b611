// The dictionary-file wrapper and the link-attribute copy, against an in-process double of the
// product's dictionary-file service.
#include "install/DictFile.h"
#include "model/DictInfo.h"
#include "model/SmartPtr.h"

#include "platform/posix/PosixPorts.h"
#include "product/ComError.h"
#include "product/ServiceIds.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// The state of one dictionary file as the double keeps it between opens.
struct FileState {
    std::int32_t linkNumber = 0;
    std::uint8_t linkCode = 0;
    std::int32_t formatLevel = 0;
    std::int32_t version = 0; // 0: no property set
    std::map<std::string, Bytes> properties;
    Bytes header = Bytes(64, 0xEE);
    bool failEverything = false; // every call answers E_FAIL
    bool throwEverything = false;
    int writes = 0;
};

class FakePropertySet : public DictPropertySet {
public:
    explicit FakePropertySet(FileState* state) : m_state(state) {}
    HRESULT GetVersion(std::int32_t& version) override {
        if (m_state->failEverything)
            return E_FAIL;
        version = m_state->version;
        return S_OK;
    }
    HRESULT GetProperty(const std::string& name, Bytes& bytes) override {
        auto found = m_state->properties.find(name);
        if (found == m_state->properties.end())
            return E_FAIL;
        bytes = found->second;
        return S_OK;
    }
    HRESULT SetProperty(const std::string& name, const Bytes& bytes) override {
        ++m_state->writes;
        m_state->properties[name] = bytes;
        return S_OK;
    }

private:
    FileState* m_state;
};

class FakeDictFile : public DictFile {
public:
    explicit FakeDictFile(FileState* state) : m_state(state) {}
    HRESULT GetLinkNumber(std::int32_t& value) override {
        return Answer([&] { value = m_state->linkNumber; });
    }
    HRESULT SetLinkNumber(std::int32_t value) override {
        return Write([&] { m_state->linkNumber = value; });
    }
    HRESULT GetLinkCode(std::uint8_t& value) override {
        return Answer([&] { value = m_state->linkCode; });
    }
    HRESULT SetLinkCode(std::uint8_t value) override {
        return Write([&] { m_state->linkCode = value; });
    }
    HRESULT GetFormatLevel(std::int32_t& value) override {
        return Answer([&] { value = m_state->formatLevel; });
    }
    HRESULT SetFormatLevel(std::int32_t value) override {
        return Write([&] { m_state->formatLevel = value; });
    }
    HRESULT GetPropertySet(std::shared_ptr<DictPropertySet>& properties) override {
        const HRESULT hr = Answer([] {});
        if (Failed(hr))
            return hr;
        if (m_state->version == 0)
            return S_FALSE;
        properties = std::make_shared<FakePropertySet>(m_state);
        return S_OK;
    }
    HRESULT ReadHeader(Bytes& block) override {
        return Answer([&] { block = m_state->header; });
    }
    HRESULT WriteHeader(const Bytes& block) override {
        return Write([&] { m_state->header = block; });
    }

private:
    template <class F> HRESULT Answer(F&& action) {
        if (m_state->throwEverything)
            throw ComError(KLDO_E_LOCKED);
        if (m_state->failEverything)
            return E_FAIL;
        action();
        return S_OK;
    }
    template <class F> HRESULT Write(F&& action) {
        const HRESULT hr = Answer(action);
        if (Succeeded(hr))
            ++m_state->writes;
        return hr;
    }
    FileState* m_state;
};

class FakeDictFileService : public DictFileService {
public:
    std::map<std::string, FileState> files;
    std::vector<std::string> opened;
    HRESULT Open(const std::string& path, std::shared_ptr<DictFile>& file) override {
        opened.push_back(path);
        auto found = files.find(path);
        if (found == files.end())
            return KLDO_E_CANNOT_OPEN;
        file = std::make_shared<FakeDictFile>(&found->second);
        return S_OK;
    }
};

class DictFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        posix::InstallPosixPorts().objects.RegisterInProcess(clsid::DictFileService,
                                                             [this] { return service; });
    }
    void TearDown() override {
        posix::InstallPosixPorts().objects.UnregisterInProcess(clsid::DictFileService);
    }

    FileState& File(const std::string& path) { return service->files[path]; }

    std::shared_ptr<FakeDictFileService> service = std::make_shared<FakeDictFileService>();
};

TEST_F(DictFileTest, OpensThroughTheServiceAndFailsCleanly) {
    File("/w/law.dic");
    CDictFile file("/w/law.dic");
    EXPECT_FALSE(file.IsOpen()) << "construction opens nothing";
    EXPECT_TRUE(service->opened.empty());
    EXPECT_TRUE(file.Open());
    EXPECT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Close()) << "closing a closed file still answers true";

    CDictFile missing("/w/none.dic");
    EXPECT_FALSE(missing.Open());
    EXPECT_FALSE(missing.IsOpen());

    posix::InstallPosixPorts().objects.UnregisterInProcess(clsid::DictFileService);
    CDictFile unregistered("/w/law.dic");
    EXPECT_FALSE(unregistered.Open());

    posix::InstallPosixPorts().objects.RegisterInProcess(
        clsid::DictFileService,
        []() -> std::shared_ptr<ComObject> { throw std::runtime_error("broken library"); });
    EXPECT_FALSE(unregistered.Open());
}

TEST_F(DictFileTest, ReadsAndWritesTheLinkAttributes) {
    auto& state = File("/w/a.dic");
    state.linkNumber = 1234;
    state.linkCode = 7;
    CDictFile file("/w/a.dic");
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.GetLinkNumber(), 1234);
    EXPECT_EQ(file.GetLinkCode(), 7);
    file.SetLinkNumber(-5);
    file.SetLinkCode(200);
    EXPECT_TRUE(file.SetFormatLevel(72));
    EXPECT_EQ(state.linkNumber, -5);
    EXPECT_EQ(state.linkCode, 200);
    EXPECT_EQ(state.formatLevel, 72);
}

TEST_F(DictFileTest, AnswersTheFailureResultsWhenTheServiceFailsOrTheFileIsClosed) {
    auto& state = File("/w/a.dic");
    state.version = 5;
    CDictFile file("/w/a.dic");
    ASSERT_TRUE(file.Open());
    for (bool throwing : {false, true}) {
        state.failEverything = !throwing;
        state.throwEverything = throwing;
        EXPECT_EQ(file.GetVersion(), 0);
        EXPECT_EQ(file.GetLinkNumber(), -1);
        EXPECT_EQ(file.GetLinkCode(), 255);
        EXPECT_FALSE(file.SetFormatLevel(72));
        EXPECT_NO_THROW(file.SetLinkNumber(1));
        EXPECT_NO_THROW(file.SetLinkCode(1));
        EXPECT_NO_THROW(file.SetTitle("t"));
        EXPECT_NO_THROW(file.SetRemarks("r"));
        EXPECT_NO_THROW(file.SetCopyright("c"));
    }
    EXPECT_EQ(state.writes, 0);

    state.failEverything = state.throwEverything = false;
    file.Close();
    EXPECT_EQ(file.GetVersion(), 0);
    EXPECT_EQ(file.GetLinkNumber(), -1);
    EXPECT_EQ(file.GetLinkCode(), 255);
    EXPECT_FALSE(file.SetFormatLevel(72));
    file.SetTitle("t");
    file.SetRemarks("r");
    EXPECT_EQ(state.writes, 0);
}

TEST_F(DictFileTest, VersionIsOneWithoutAPropertySet) {
    auto& state = File("/w/a.dic");
    CDictFile file("/w/a.dic");
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.GetVersion(), 1);
    state.version = 3;
    EXPECT_EQ(file.GetVersion(), 3);
    state.version = 4;
    EXPECT_EQ(file.GetVersion(), 4);
}

TEST_F(DictFileTest, AVersion3TitleGoesIntoTheHeaderBlockAsAtMost15Bytes) {
    auto& state = File("/w/a.dic");
    state.version = 3;
    CDictFile file("/w/a.dic");
    ASSERT_TRUE(file.Open());

    file.SetTitle("ABCDEFGHIJKLMNOPQRST"); // 20 characters
    Bytes expected(64, 0xEE);
    const std::string stored = "ABCDEFGHIJKLMNO";
    std::copy(stored.begin(), stored.end(), expected.begin() + 6);
    expected[21] = 0;
    EXPECT_EQ(state.header, expected);
    EXPECT_TRUE(state.properties.empty());

    // A short Cyrillic title: CP1251 bytes, then zeros to the end of the field.
    file.SetTitle("Право");
    expected = Bytes(64, 0xEE);
    const Bytes cp1251 = {0xCF, 0xF0, 0xE0, 0xE2, 0xEE};
    std::copy(cp1251.begin(), cp1251.end(), expected.begin() + 6);
    std::fill(expected.begin() + 11, expected.begin() + 22, 0);
    EXPECT_EQ(state.header, expected);

    // Remarks and copyright exist only from version 4 on.
    file.SetRemarks("remarks");
    file.SetCopyright("(c)");
    EXPECT_TRUE(state.properties.empty());
}

TEST_F(DictFileTest, AHeaderBlockTooShortForTheTitleIsLeftAlone) {
    auto& state = File("/w/a.dic");
    state.header = Bytes(21, 0x11); // one byte short of offset 6 + 16
    CDictFile file("/w/a.dic");
    ASSERT_TRUE(file.Open());
    file.SetTitle("T");
    EXPECT_EQ(state.header, Bytes(21, 0x11));
    EXPECT_EQ(state.writes, 0);
}

TEST_F(DictFileTest, AVersion4FileTakesTitleRemarksAndCopyrightAsNamedProperties) {
    auto& state = File("/w/a.dic");
    state.version = 4;
    CDictFile file("/w/a.dic");
    ASSERT_TRUE(file.Open());
    file.SetTitle("Право & Co");
    file.SetRemarks("Юр");
    file.SetCopyright("(c) Velmar");

    EXPECT_EQ(state.header, Bytes(64, 0xEE)) << "the header block is not touched";
    EXPECT_EQ(state.properties["title"], ToBytes(Utf8ToCp1251("Право & Co")));
    EXPECT_EQ(state.properties["title_w"], Utf8ToUtf16LeBytes("Право & Co", false));
    EXPECT_EQ(state.properties["remarks"], (Bytes{0xDE, 0xF0}));
    EXPECT_EQ(state.properties["remarks_w"], (Bytes{0x2E, 0x04, 0x40, 0x04})); // no terminator
    EXPECT_EQ(state.properties["copyright"], ToBytes("(c) Velmar"));
    EXPECT_EQ(state.properties["copyright_w"].size(), 20u);
    EXPECT_EQ(state.properties.size(), 6u);

    file.SetRemarks("");
    EXPECT_TRUE(state.properties["remarks"].empty());
    EXPECT_TRUE(state.properties["remarks_w"].empty());
}

TEST_F(DictFileTest, CopyLinkAttributesLinksTheUnpackedCopyToTheGeneralDictionary) {
    auto& general = File("/kaldo/ER/GENDICT.ER");
    general.linkNumber = 991;
    general.linkCode = 3;
    auto& unpacked = File("/tmp/work/law.dic");
    CSmartPtr<CDictInfo> dictionary(new CDictInfo);
    dictionary->SetKey("law.dic");

    EXPECT_TRUE(dictionary->CopyLinkAttributes("/kaldo/ER/GENDICT.ER", "/tmp/work"));
    EXPECT_EQ(unpacked.linkNumber, 991);
    EXPECT_EQ(unpacked.linkCode, 3);
    EXPECT_EQ(unpacked.formatLevel, 72);
    EXPECT_EQ(general.writes, 0) << "the general dictionary is only read";

    unpacked = FileState();
    EXPECT_TRUE(dictionary->CopyLinkAttributes("/kaldo/ER/GENDICT.ER", "/tmp/work/"));
    EXPECT_EQ(unpacked.linkNumber, 991);
    EXPECT_EQ(service->opened.back(), "/kaldo/ER/GENDICT.ER");
    EXPECT_EQ(service->opened[service->opened.size() - 2], "/tmp/work/law.dic");
}

TEST_F(DictFileTest, CopyLinkAttributesFailsWithoutWritingWhenAFileCannotBeOpened) {
    auto& unpacked = File("/tmp/work/law.dic");
    CSmartPtr<CDictInfo> dictionary(new CDictInfo);
    dictionary->SetKey("law.dic");
    EXPECT_FALSE(dictionary->CopyLinkAttributes("/kaldo/ER/GENDICT.ER", "/tmp/work"));
    EXPECT_EQ(unpacked.writes, 0);

    File("/kaldo/ER/GENDICT.ER");
    dictionary->SetKey("other.dic");
    EXPECT_FALSE(dictionary->CopyLinkAttributes("/kaldo/ER/GENDICT.ER", "/tmp/work"));
}

} // namespace
} // namespace quillon
