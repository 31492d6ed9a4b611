// XML descriptions of profiles and TM bases. Expected texts are written out by hand.
#include "model/DictInfo.h"
#include "model/VdxAlgo.h"
#include "model/VdxBaseTM.h"
#include "model/VdxKeywords.h"
#include "model/VdxKeywordsFile.h"
#include "model/VdxPreproc.h"
#include "model/VdxTopicInfo.h"
#include "model/VdxWWTsFile.h"

#include "model/ModelFixtures.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\"?>\r\n";

CSmartPtr<CVdxTopicInfo> BareProfile() {
    CSmartPtr<CVdxTopicInfo> profile(new CVdxTopicInfo);
    profile->SetKey("LAW");
    profile->SetDirID(0x00020001);
    profile->SetName("Право");
    profile->SetFullName("Англо-русский коллекция словарей \"Право\"");
    return profile;
}

const std::string kBareBody = "<DirID>131073</DirID><Name>Право</Name><FilePath></FilePath>"
                              "<ShowVariants></ShowVariants><TranslitUnk></TranslitUnk>"
                              "<FullName>Англо-русский коллекция словарей \"Право\"</FullName>";

TEST(ProfileXml, ABareProfileHasExactlyItsSixLeadingElements) {
    auto profile = BareProfile();
    EXPECT_EQ(profile->GetXmlTag(), "Topic");
    EXPECT_EQ(profile->GetXmlBody(), kBareBody);
    EXPECT_EQ(profile->GetXmlElement(), "<Topic>" + kBareBody + "</Topic>");
    EXPECT_EQ(profile->GetXmlDocument(),
              std::string(kDeclaration) + "<Topic>" + kBareBody + "</Topic>");
}

TEST(ProfileXml, AFullProfileListsItsPartsInOrder) {
    auto profile = BareProfile();
    profile->SetFilePath("/media/cd/DICTS/law.tpl");
    profile->SetShowVariants("true");
    profile->SetTranslitUnknown("false");

    auto dictionary = test::MakeDictionary("law.dic", 10);
    dictionary->SetName("Право");
    dictionary->SetFullName("Англо-русский словарь \"Право\"");
    dictionary->SetUID("{0F2D7C11-1B6A-4E8B-9A43-5C2E8F9D0A17}");
    profile->Dictionaries().push_back(dictionary);

    auto base = test::MakeBaseTM("law.tmb", 10);
    base->SetName("ТМ");
    base->SetFullName("Англо-русская база ТМ \"ТМ\"");
    base->SetUID("77");
    profile->BasesTM().push_back(base);

    CSmartPtr<CVdxPreproc> prep(new CVdxPreproc("Dates", "{PREP}"));
    prep->SetMask(5);
    prep->SetIndex(2);
    profile->Preprocessors().push_back(prep);
    profile->Algorithms().push_back(CSmartPtr<CVdxAlgo>(new CVdxAlgo("Style", "formal")));
    profile->Algorithms().push_back(CSmartPtr<CVdxAlgo>(new CVdxAlgo("Depth", "")));
    profile->Items().push_back(CSmartPtr<CVdxKeywords>(new CVdxKeywords("contract")));
    profile->Items().push_back(CSmartPtr<CVdxKeywords>(new CVdxKeywords("court")));
    profile->Items().push_back(
        CSmartPtr<CVdxKeywordsFile>(new CVdxKeywordsFile("/media/cd/DICTS/law.kw")));
    profile->Items().push_back(
        CSmartPtr<CVdxWWTsFile>(new CVdxWWTsFile("/media/cd/DICTS/law.wwt")));

    const std::string expected =
        std::string(kDeclaration) +
        "<Topic><DirID>131073</DirID><Name>Право</Name><FilePath>/media/cd/DICTS/law.tpl</FilePath>"
        "<ShowVariants>true</ShowVariants><TranslitUnk>false</TranslitUnk>"
        "<FullName>Англо-русский коллекция словарей \"Право\"</FullName>"
        "<Dict><UID>{0F2D7C11-1B6A-4E8B-9A43-5C2E8F9D0A17}</UID><DirID>131073</DirID><Name>Право</"
        "Name>"
        "<File>law.dic</File><FullName>Англо-русский словарь \"Право\"</FullName></Dict>"
        "<Memory><UID>77</UID><DirID>131073</DirID><Name>ТМ</Name><File>law.tmb</File>"
        "<FullName>Англо-русская база ТМ \"ТМ\"</FullName></Memory>"
        "<Prep><Name>Dates</Name><UID>{PREP}</UID><Mask>5</Mask><idx>2</idx></Prep>"
        "<Algo><Name>Style</Name><value>formal</value></Algo>"
        "<Algo><Name>Depth</Name><value></value></Algo>"
        "<Keywords>contract</Keywords><Keywords>court</Keywords>"
        "<KeywordsFile><FilePath>/media/cd/DICTS/law.kw</FilePath></KeywordsFile>"
        "<WWT><FilePath>/media/cd/DICTS/law.wwt</FilePath></WWT>"
        "</Topic>";
    EXPECT_EQ(profile->GetXmlDocument(), expected);
}

TEST(ProfileXml, ATMBaseDocumentIsOneMemoryElementWithAnEmptyUIDUntilSet) {
    auto base = test::MakeBaseTM("court.tmb", 1, 0x00010002);
    base->SetName("Суд");
    base->SetFullName("Русско-английская база ТМ \"Суд\"");
    EXPECT_EQ(base->GetXmlTag(), "Memory");
    EXPECT_EQ(base->GetXmlDocument(),
              std::string(kDeclaration) +
                  "<Memory><UID></UID><DirID>65538</DirID><Name>Суд</Name><File>court.tmb</File>"
                  "<FullName>Русско-английская база ТМ \"Суд\"</FullName></Memory>");
    base->SetUID("{B}");
    EXPECT_EQ(base->GetXmlBody().substr(0, 14), "<UID>{B}</UID>");
}

TEST(ProfileXml, ADictionarySharedByTwoProfilesIsWrittenIntoEach) {
    auto law = test::MakeDictionary("law.dic", 1);
    auto first = BareProfile();
    auto second = BareProfile();
    first->Dictionaries().push_back(law);
    second->Dictionaries().push_back(law);
    law->SetUID("{U}"); // set by the installation after both profiles were read
    const std::string dict =
        "<Dict><UID>{U}</UID><DirID>131073</DirID><Name></Name><File>law.dic</File>"
        "<FullName></FullName></Dict>";
    EXPECT_EQ(first->GetXmlElement(), "<Topic>" + kBareBody + dict + "</Topic>");
    EXPECT_EQ(second->GetXmlElement(), first->GetXmlElement());
}

TEST(ProfileXml, TextContentEscapesAmpersandAndAngleBracketsOnly) {
    auto profile = BareProfile();
    profile->SetName("R&D <draft> \"q\" 'a' &amp;");
    profile->SetFilePath("/d/a&b.tpl");
    profile->Items().push_back(CSmartPtr<CVdxKeywords>(new CVdxKeywords("x<y & z>w")));
    CSmartPtr<CVdxAlgo> algo(new CVdxAlgo("<Name>", "a&b"));
    profile->Algorithms().push_back(algo);
    const std::string body = profile->GetXmlBody();
    EXPECT_NE(body.find("<Name>R&amp;D &lt;draft&gt; \"q\" 'a' &amp;amp;</Name>"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("<FilePath>/d/a&amp;b.tpl</FilePath>"), std::string::npos) << body;
    EXPECT_NE(body.find("<Keywords>x&lt;y &amp; z&gt;w</Keywords>"), std::string::npos) << body;
    EXPECT_NE(body.find("<Algo><Name>&lt;Name&gt;</Name><value>a&amp;b</value></Algo>"),
              std::string::npos)
        << body;

    CSmartPtr<CDictInfo> dictionary(new CDictInfo);
    dictionary->SetKey("a&b");
    dictionary->SetUID("<x>");
    EXPECT_EQ(dictionary->GetXmlBody(),
              "<UID>&lt;x&gt;</UID><DirID>0</DirID><Name></Name><File>a&amp;b</File>"
              "<FullName></FullName>");
    EXPECT_EQ(EscapeXmlText(std::string("\0\r\n\t\xD0\x96", 6)),
              std::string("\0\r\n\t\xD0\x96", 6));
}

TEST(ProfileXml, NumbersAreSignedDecimal) {
    CSmartPtr<CVdxPreproc> prep(new CVdxPreproc("p", ""));
    prep->SetMask(-1);
    prep->SetIndex(-2);
    EXPECT_EQ(prep->GetXmlElement(),
              "<Prep><Name>p</Name><UID></UID><Mask>-1</Mask><idx>-2</idx></Prep>");
    auto dictionary = test::MakeDictionary("d", 1, 0x80000001u);
    EXPECT_NE(dictionary->GetXmlBody().find("<DirID>-2147483647</DirID>"), std::string::npos);
    EXPECT_EQ(XmlNumberElement("n", 0), "<n>0</n>");
}

TEST(ProfileXml, TheDocumentHasOneLineBreakAfterTheDeclarationAndNoneAtTheEnd) {
    const std::string document = BareProfile()->GetXmlDocument();
    EXPECT_EQ(document.find('\n'), document.find("\r\n") + 1);
    EXPECT_EQ(document.find("\r\n"), std::string(kDeclaration).size() - 2);
    EXPECT_EQ(document.find('\n', document.find('\n') + 1), std::string::npos);
    EXPECT_EQ(document.back(), '>');
}

} // namespace
} // namespace quillon
