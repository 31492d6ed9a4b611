// The reference product's services, reached through the class factory and the hive.
#include "ProductFixture.h"

#include "Product.h"
#include "platform/Ports.h"
#include "platform/posix/HiveRegistry.h"
#include "product/CreateService.h"
#include "product/DictFileService.h"
#include "product/KernelConnection.h"
#include "product/ServiceIds.h"
#include "product/StartupServices.h"
#include "support/Guid.h"
#include "support/Text.h"
#include "testsupport/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace kaldo::test {
namespace {

using namespace quillon;

class RecordingProgress : public ProgressReceiver {
public:
    int OnProgressMessage(std::uint32_t position, std::uint32_t range) override {
        positions.push_back(position);
        last = range;
        return cancelAt >= 0 && static_cast<int>(positions.size()) > cancelAt ? 1 : 0;
    }
    std::vector<std::uint32_t> positions;
    std::uint32_t last = 0;
    int cancelAt = -1;
};

using KernelServiceTest = ProductFixture;

TEST_F(KernelServiceTest, LoginAcceptsOnlyTheInstallersCredentialsAndGuardsEveryCall) {
    auto object = Objects().CreateInstance(clsid::KernelService, ServerContext::Any);
    auto login = QueryInterface<KernelLogin>(object);
    auto kernel = QueryInterface<KernelService>(object);
    ASSERT_TRUE(login && kernel);
    std::uint16_t count = 0;
    EXPECT_EQ(kernel->GetDirectionCount(count), E_ACCESSDENIED);
    EXPECT_LT(login->Login(1, "OTHER", 1), 0);
    EXPECT_LT(login->Login(2, "RAVIRI", 1), 0);
    EXPECT_LT(login->Login(1, "RAVIRI", 0), 0);
    EXPECT_EQ(kernel->GetDirectionCount(count), E_ACCESSDENIED);
    EXPECT_EQ(login->Login(1, "RAVIRI", 1), S_OK);
    EXPECT_EQ(kernel->GetDirectionCount(count), S_OK);
    EXPECT_EQ(count, 2);
}

TEST_F(KernelServiceTest, DirectionsCarryRussianPairNamesAndTheirFolders) {
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    std::uint32_t id = 0;
    std::string name, path;
    ASSERT_EQ(kernel->GetDirection(0, id, name), S_OK);
    EXPECT_EQ(id, kER);
    EXPECT_EQ(name, "Англо-русский");
    ASSERT_EQ(kernel->GetDirection(1, id, name), S_OK);
    EXPECT_EQ(id, kRE);
    EXPECT_EQ(name, "Русско-английский");
    EXPECT_LT(kernel->GetDirection(2, id, name), 0);
    ASSERT_EQ(kernel->GetDirectionPath(kER, path), S_OK);
    EXPECT_EQ(path, Folder("ER") + "/");
    EXPECT_LT(kernel->GetDirectionPath(0x00040001, path), 0);
    // The installer finds the same folder through the registry, and lists the same names.
    EXPECT_EQ(GetDirectionFolder(kER), Folder("ER") + "/");
    struct List : DirectionListPort {
        void AddString(const std::string& text) override { items.push_back(text); }
        void SelectFirst() override { selected = true; }
        std::vector<std::string> items;
        bool selected = false;
    } list;
    std::map<std::string, std::uint32_t> names;
    ASSERT_TRUE(FillDirectionList(list, &names));
    EXPECT_EQ(list.items, (std::vector<std::string>{"Англо-русский", "Русско-английский"}));
    EXPECT_TRUE(list.selected);
    EXPECT_EQ(names["Русско-английский"], kRE);
}

// A product whose interface language is English names its directions in English, as every other
// text the installer shows it then is.
TEST_F(KernelServiceTest, AnEnglishProductNamesItsDirectionsInEnglish) {
    ASSERT_EQ(RunProductTool({"init", root_, "--lang", "0x0409", "--library", KALDO_REFPRODUCT_LIBRARY}), 0);
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    std::uint32_t id = 0;
    std::string name;
    ASSERT_EQ(kernel->GetDirection(0, id, name), S_OK);
    EXPECT_EQ(name, "English-Russian");
    ASSERT_EQ(kernel->GetDirection(1, id, name), S_OK);
    EXPECT_EQ(name, "Russian-English");
}

TEST_F(KernelServiceTest, RunningInitAgainKeepsTheGeneralDictionaryAndAddsNewDirections) {
    const auto before = General("ER");
    ASSERT_EQ(RunProductTool({"init", root_, "--directions", "ER,GR", "--library", KALDO_REFPRODUCT_LIBRARY}), 0);
    EXPECT_EQ(General("ER"), before);
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    std::uint16_t count = 0;
    ASSERT_EQ(kernel->GetDirectionCount(count), S_OK);
    EXPECT_EQ(count, 3);
    std::uint32_t id = 0;
    std::string name;
    ASSERT_EQ(kernel->GetDirection(2, id, name), S_OK);
    EXPECT_EQ(name, "Немецко-русский");
}

// The installer's linking step: the general dictionary through the catalogue, its link
// attributes onto the unpacked file through DictFileService, then the import.
TEST_F(KernelServiceTest, ImportsADictionaryLinkedAsTheInstallerLinksIt) {
    const std::string path = MakeDictionary("mydict.er", kER, /*linked=*/false);
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    EXPECT_EQ(kernel->ImportDictionary(path, kER, 0, nullptr), KLDO_E_CONVERTER);

    std::shared_ptr<ComObject> catalogue;
    ASSERT_EQ(kernel->GetCatalogue(catalogue), S_OK);
    auto dictionaries = QueryInterface<KernelDictionaries>(catalogue);
    ASSERT_TRUE(dictionaries);
    std::shared_ptr<CatalogueDirection> direction;
    ASSERT_EQ(dictionaries->GetDirection(kER, direction), S_OK);
    std::shared_ptr<DictFile> general;
    ASSERT_EQ(direction->GetDictionary(-1, general), S_OK);
    std::int32_t linkNumber = 0;
    std::uint8_t linkCode = 0;
    ASSERT_EQ(general->GetLinkNumber(linkNumber), S_OK);
    ASSERT_EQ(general->GetLinkCode(linkCode), S_OK);
    general.reset();

    auto files = CreateService<DictFileService>(clsid::DictFileService, ServerContext::InProcess);
    std::shared_ptr<DictFile> file;
    ASSERT_EQ(files->Open(path, file), S_OK);
    ASSERT_EQ(file->SetLinkNumber(linkNumber), S_OK);
    ASSERT_EQ(file->SetLinkCode(linkCode), S_OK);
    ASSERT_EQ(file->SetFormatLevel(72), S_OK);
    std::shared_ptr<DictPropertySet> properties;
    ASSERT_EQ(file->GetPropertySet(properties), S_OK);
    ASSERT_EQ(properties->SetProperty("title_w", Utf8ToUtf16LeBytes("Мой словарь", false)), S_OK);
    file.reset();

    std::string guid;
    std::uint32_t dirId = 0;
    ASSERT_EQ(kernel->GetDictionaryInfo(path, guid, dirId), S_OK);
    EXPECT_TRUE(IsGuidString(guid));
    EXPECT_EQ(dirId, kER);

    RecordingProgress progress;
    ASSERT_EQ(kernel->ImportDictionary(path, kER, 0, &progress), S_OK);
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_EQ(progress.positions.back(), 100u);
    EXPECT_EQ(progress.last, 100u);
    EXPECT_EQ(FilesIn(Folder("ER")), (std::vector<std::string>{"GENDICT.ER", "mydict.er"}));

    std::string error;
    auto product = Product::OpenAt(root_, getenv("QUILLON_REGISTRY"), error);
    ASSERT_TRUE(product) << error;
    const auto installed = product->Dictionaries(kER);
    ASSERT_EQ(installed.size(), 1u);
    EXPECT_EQ(installed[0].uid, guid);
    EXPECT_EQ(installed[0].title, "Мой словарь");
    EXPECT_TRUE(product->Verify().empty());

    // The catalogue answers the installed dictionary by its index.
    std::shared_ptr<DictFile> first;
    ASSERT_EQ(direction->GetDictionary(0, first), S_OK);
    EXPECT_LT(direction->GetDictionary(1, first), 0);
}

TEST_F(KernelServiceTest, ImportRefusesDuplicatesLockedAndHeldDictionariesWithTheProductsCodes) {
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    const std::string path = MakeDictionary("dup.er", kER);
    ASSERT_EQ(kernel->ImportDictionary(path, kER, 0, nullptr), S_OK);
    // Same file name again (a new GUID): the dictionary exists.
    const std::string again = MakeDictionary("dup.er", kER);
    EXPECT_EQ(kernel->ImportDictionary(again, kER, 0, nullptr), KLDO_E_DICT_EXISTS);
    // Same GUID under another name: exists too.
    const std::string renamed = temp_.Write("work/other.er", quillon::test::ReadFile(Folder("ER") + "/dup.er"));
    EXPECT_EQ(kernel->ImportDictionary(renamed, kER, 0, nullptr), KLDO_E_DICT_EXISTS);

    // Locked by kaldo-product: import and delete are refused until it is unlocked.
    ASSERT_EQ(RunProductTool({"lock", "dup.er"}), 0);
    EXPECT_EQ(kernel->ImportDictionary(again, kER, 0, nullptr), KLDO_E_LOCKED);
    EXPECT_EQ(kernel->DeleteDictionary(again, kER), KLDO_E_LOCKED);
    ASSERT_EQ(RunProductTool({"unlock", "dup.er"}), 0);

    // Held open through the catalogue (another user of the dictionary).
    std::shared_ptr<ComObject> catalogue;
    ASSERT_EQ(kernel->GetCatalogue(catalogue), S_OK);
    std::shared_ptr<CatalogueDirection> direction;
    ASSERT_EQ(QueryInterface<KernelDictionaries>(catalogue)->GetDirection(kER, direction), S_OK);
    std::shared_ptr<DictFile> held;
    ASSERT_EQ(direction->GetDictionary(0, held), S_OK);
    EXPECT_EQ(kernel->ImportDictionary(again, kER, 0, nullptr), KLDO_E_LOCKED);
    EXPECT_EQ(kernel->DeleteDictionary(again, kER), KLDO_E_LOCKED);
    held.reset();

    // The installer's retry: delete the installed one, import again.
    EXPECT_EQ(kernel->DeleteDictionary(again, kER), S_OK);
    EXPECT_EQ(kernel->DeleteDictionary(again, kER), S_FALSE);
    EXPECT_EQ(kernel->ImportDictionary(again, kER, 0, nullptr), S_OK);
    EXPECT_EQ(GuidOf(Folder("ER") + "/dup.er"), GuidOf(again));
}

TEST_F(KernelServiceTest, ImportChecksFormatDirectionAndSource) {
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    EXPECT_EQ(kernel->ImportDictionary(work_ + "/missing.er", kER, 0, nullptr), KLDO_E_CANNOT_OPEN);
    const std::string v1 = MakeDictionary("old.er", kER, true, 1);
    EXPECT_EQ(kernel->ImportDictionary(v1, kER, 0, nullptr), KLDO_E_CONVERTER);
    // Linked to ER's general dictionary, offered for RE: wrong direction.
    const std::string er = MakeDictionary("er.re", kER);
    EXPECT_EQ(kernel->ImportDictionary(er, kRE, 0, nullptr), E_INVALIDARG);
    // An RE dictionary whose link code is not the general dictionary's: the converter fails.
    std::string error;
    DictionaryFile mixed = *ReadDictionaryFile(MakeDictionary("mixed.re", kRE), error);
    mixed.SetLinkCode(static_cast<std::uint8_t>(General("RE").LinkCode() + 1));
    ASSERT_TRUE(WriteDictionaryFile(work_ + "/mixed.re", mixed, error));
    EXPECT_EQ(kernel->ImportDictionary(work_ + "/mixed.re", kRE, 0, nullptr), KLDO_E_CONVERTER);
    mixed.SetLinkCode(General("RE").LinkCode());
    mixed.SetFormatLevel(71);
    ASSERT_TRUE(WriteDictionaryFile(work_ + "/mixed.re", mixed, error));
    EXPECT_EQ(kernel->ImportDictionary(work_ + "/mixed.re", kRE, 0, nullptr), KLDO_E_CONVERTER);
    EXPECT_TRUE(FilesIn(Folder("RE")) == std::vector<std::string>{"GENDICT.RE"});
}

TEST_F(KernelServiceTest, AProgressReplyOfOneCancelsTheImportAndLeavesNothing) {
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    const std::string path = MakeDictionary("big.er", kER, true, 4, 40000);
    RecordingProgress progress;
    progress.cancelAt = 2;
    EXPECT_EQ(kernel->ImportDictionary(path, kER, 0, &progress), E_ABORT);
    EXPECT_EQ(FilesIn(Folder("ER")), std::vector<std::string>{"GENDICT.ER"});
    progress.cancelAt = -1;
    EXPECT_EQ(kernel->ImportDictionary(path, kER, 0, &progress), S_OK);
}

TEST_F(KernelServiceTest, DictionaryValuesCarryOverByInternalName) {
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    const std::string path = MakeDictionary("v.er", kER);
    std::shared_ptr<KernelDictionary> dict;
    ASSERT_EQ(kernel->OpenDictionary(path, dict), S_OK);
    std::string name;
    std::int32_t version = 0;
    ASSERT_EQ(dict->GetName(name), S_OK);
    ASSERT_EQ(dict->GetFormatVersion(version), S_OK);
    EXPECT_EQ(name, GuidOf(path));
    EXPECT_EQ(version, 4);
    std::int64_t value = -1;
    EXPECT_EQ(kernel->GetDictionaryValue(name, value), S_FALSE);
    EXPECT_EQ(value, 0);
    ASSERT_EQ(kernel->SetDictionaryValue(name, "", 77), S_OK);
    // Another kernel object (another process would do the same) reads it back.
    auto other = Kernel();
    ASSERT_EQ(other->GetDictionaryValue(name, value), S_OK);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(kernel->OpenDictionary(work_ + "/none.er", dict), KLDO_E_CANNOT_OPEN);
}

TEST_F(KernelServiceTest, DictFileServiceWritesTheHeaderTitleAndRefusesPropertiesOnOldFiles) {
    auto files = CreateService<DictFileService>(clsid::DictFileService, ServerContext::InProcess);
    std::shared_ptr<DictFile> file;
    EXPECT_EQ(files->Open(work_ + "/none.er", file), KLDO_E_CANNOT_OPEN);
    const std::string v3 = MakeDictionary("v3.er", kER, true, 3);
    ASSERT_EQ(files->Open(v3, file), S_OK);
    std::vector<std::uint8_t> block;
    ASSERT_EQ(file->ReadHeader(block), S_OK);
    ASSERT_EQ(block.size(), kHeaderBlockSize);
    const std::string title = Utf8ToCp1251("Двадцать символов!!!");
    for (std::size_t i = 0; i < kTitleSize; ++i)
        block[kTitleOffset + i] = i < 15 ? static_cast<std::uint8_t>(title[i]) : 0;
    ASSERT_EQ(file->WriteHeader(block), S_OK);
    EXPECT_LT(file->WriteHeader({1, 2, 3}), 0);
    std::shared_ptr<DictPropertySet> properties;
    ASSERT_EQ(file->GetPropertySet(properties), S_OK);
    std::int32_t version = 0;
    ASSERT_EQ(properties->GetVersion(version), S_OK);
    EXPECT_EQ(version, 3);
    EXPECT_EQ(properties->SetProperty("remarks", {'x'}), E_NOTIMPL);
    file.reset();
    std::string error;
    EXPECT_EQ(ReadDictionaryFile(v3, error)->TitleBytes(), title.substr(0, 15));

    const std::string v1 = MakeDictionary("v1.er", kER, true, 1);
    ASSERT_EQ(files->Open(v1, file), S_OK);
    EXPECT_EQ(file->GetPropertySet(properties), S_FALSE);
    EXPECT_FALSE(properties);
}

TEST_F(KernelServiceTest, TmBaseInstallAnswersItsUidAndHonoursTheReplaceMode) {
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    const std::string source = temp_.Write("dist/base.tmb", "first content");
    const std::string xml = "<?xml version=\"1.0\"?>\r\n<Memory><UID></UID><DirID>131073</DirID><Name>Base</Name>"
                            "<File>base.tmb</File><FullName>База &amp; ТМ</FullName></Memory>";
    std::string reply;
    ASSERT_EQ(kernel->InstallBaseTM(source, 1, xml, 1, reply), S_OK);
    const auto open = reply.find("<UID>"), close = reply.find("</UID>");
    ASSERT_NE(open, std::string::npos);
    ASSERT_NE(close, std::string::npos);
    const std::string uid = reply.substr(open + 5, close - open - 5);
    EXPECT_TRUE(IsGuidString(uid)) << reply;

    temp_.Write("dist/base.tmb", "second content");
    ASSERT_EQ(kernel->InstallBaseTM(source, 1, xml, 0, reply), S_FALSE);   // skip
    EXPECT_NE(reply.find(uid), std::string::npos);
    ASSERT_EQ(kernel->InstallBaseTM(source, 1, xml, 2, reply), S_FALSE);   // ask: kept, said so
    EXPECT_NE(reply.find("без изменений"), std::string::npos);
    EXPECT_NE(reply.find("<UID>" + uid + "</UID>"), std::string::npos);

    std::string error;
    auto product = Product::OpenAt(root_, getenv("QUILLON_REGISTRY"), error);
    ASSERT_EQ(product->TmBases().size(), 1u);
    EXPECT_EQ(quillon::test::ReadFile(root_ + "/" + product->TmBases()[0].stored), "first content");

    ASSERT_EQ(kernel->InstallBaseTM(source, 1, xml, 1, reply), S_OK);      // replace keeps the UID
    EXPECT_EQ(reply, "<UID>" + uid + "</UID>");
    ASSERT_EQ(product->TmBases().size(), 1u);
    EXPECT_EQ(quillon::test::ReadFile(root_ + "/" + product->TmBases()[0].stored), "second content");
    EXPECT_EQ(FilesIn(root_ + "/tm").size(), 1u);   // the replaced file is gone

    EXPECT_EQ(kernel->InstallBaseTM(work_ + "/none.tmb", 1,
                                    "<Memory><UID/><DirID>1</DirID><File>none.tmb</File></Memory>", 1, reply),
              KLDO_E_CANNOT_OPEN);
    EXPECT_EQ(kernel->InstallBaseTM(source, 1, "<Memory><File>../x</File>", 1, reply), E_INVALIDARG);
    EXPECT_EQ(kernel->InstallBaseTM(source, 1, "<Memory><File>../x</File></Memory>", 1, reply), E_INVALIDARG);
}

TEST_F(KernelServiceTest, FaultInjectionFailsANamedOperationForItsNextCallsAcrossObjects) {
    ASSERT_EQ(RunProductTool({"fault", "GetDirectionCount", "0x800F0015", "2"}), 0);
    std::uint16_t count = 0;
    EXPECT_EQ(Kernel()->GetDirectionCount(count), KLDO_E_CANNOT_OPEN);
    EXPECT_EQ(Kernel()->GetDirectionCount(count), KLDO_E_CANNOT_OPEN);
    EXPECT_EQ(Kernel()->GetDirectionCount(count), S_OK);

    ASSERT_EQ(RunProductTool({"fault", "Login", "-1"}), 0);
    EXPECT_FALSE(Kernel());
    EXPECT_TRUE(Kernel());

    ASSERT_EQ(RunProductTool({"fault", "Create.KernelService", "0x80004005"}), 0);
    EXPECT_FALSE(EnsureKernelConnection());
    EXPECT_TRUE(EnsureKernelConnection());

    std::string journal;
    ASSERT_EQ(RunProductTool({"journal"}, &journal), 0);
    EXPECT_NE(journal.find("\"operation\":\"GetDirectionCount\",\"arguments\":{},\"status\":\"0x800F0015\""),
              std::string::npos);
    EXPECT_NE(journal.find("\"injected\":1"), std::string::npos);
}

TEST_F(KernelServiceTest, StartupServicesAnswerFromTheProductConfiguration) {
    auto settings = CreateService<ProductSettingsService>(clsid::ProductSettingsService);
    EXPECT_EQ(settings->GetStatus(), S_OK);
    std::vector<std::string> names;
    EXPECT_EQ(settings->GetEntries(names), S_OK);
    EXPECT_FALSE(names.empty());
    ASSERT_EQ(Registry().SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\Reference",
                                  "SettingsStatus", RegistryValue::Dword(1)), 0);
    EXPECT_EQ(settings->GetStatus(), S_FALSE);

    auto catalog = CreateService<KernelCatalogService>(clsid::KernelCatalogService);
    EXPECT_LT(catalog->OpenCatalogue("OTHER", "", 0), 0);
    ASSERT_EQ(catalog->OpenCatalogue("RAVIRI", "", 0), S_OK);
    std::uint16_t count = 0;
    ASSERT_EQ(catalog->GetCount(count), S_OK);
    ASSERT_GT(count, 0);
    std::shared_ptr<KernelCatalogueEntry> entry;
    ASSERT_EQ(catalog->GetItem(0, entry), S_OK);
    std::string value;
    EXPECT_EQ(entry->GetItemValue(value), S_OK);
    EXPECT_LT(catalog->GetItem(count, entry), 0);

    auto helper = CreateService<AppHelperService>(clsid::AppHelperService);
    EXPECT_EQ(helper->CheckResult(S_OK, "t"), S_OK);
    EXPECT_EQ(helper->CheckResult(E_FAIL, "t"), E_FAIL);
    EXPECT_EQ(helper->RunApplication("", ""), S_OK);
    ASSERT_EQ(Registry().SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\Reference",
                                  "RunApplicationResult", RegistryValue::Dword(1)), 0);
    EXPECT_EQ(helper->RunApplication("/opt/quillon", ""), S_FALSE);
    std::int32_t answer = 0;
    EXPECT_EQ(helper->ReportError(E_FAIL, "t", 0, answer), S_OK);
    EXPECT_EQ(answer, 1);
}

} // namespace
} // namespace kaldo::test
