// The logical content of RAVIRI.INF and SETUP.INI as the collection loader reads it.
#include "ProfileFixtures.h"

#include "descriptions/DescriptionFiles.h"
#include "descriptions/ProfileText.h"

#include <gtest/gtest.h>

#include <climits>

namespace quillon::test {
namespace {

using Names = std::vector<std::string>;

// Stores written in the text form, as a distribution author would.
class Descriptions {
public:
    explicit Descriptions(std::string_view text) {
        ProfileTextError error;
        EXPECT_TRUE(ParseProfileText(text, store, error)) << error.line << ": " << error.what;
    }
    CXCryptedProfile2 store;
};

TEST(DescriptionNames, LetterAppendsToNamesEndingInADot) {
    EXPECT_EQ(InterfaceLanguageLetter(), "R");
    EXPECT_EQ(LocalizedEntryName("Name.", "R"), "Name.R");
    EXPECT_EQ(LocalizedEntryName("Comment.", "E"), "Comment.E");
    EXPECT_EQ(LocalizedEntryName("Size", "R"), "Size");
    EXPECT_EQ(LocalizedEntryName("", "R"), "");
}

TEST(DescriptionLists, SemicolonListsStopAtTheFirstEmptyPiece) {
    EXPECT_EQ(SplitKeyList("law;;it"), (Names{"law"}));
    EXPECT_EQ(SplitKeyList("law; it"), (Names{"law", " it"}));
    EXPECT_EQ(SplitKeyList("law;it;"), (Names{"law", "it"}));
    EXPECT_EQ(SplitKeyList(";law"), Names{});
    EXPECT_EQ(SplitKeyList(""), Names{});
    EXPECT_EQ(SplitKeyList("one"), (Names{"one"}));
}

TEST(DescriptionLists, AlgorithmPairsSplitAtBarsAndTrim) {
    EXPECT_EQ(SplitAlgoSettings("Mode | fast;Style"),
              (std::vector<AlgoSetting>{{"Mode", "fast"}, {"Style", ""}}));
    EXPECT_EQ(SplitAlgoSettings("\ta|b|ignored;  x |  ;;after"),
              (std::vector<AlgoSetting>{{"a", "b"}, {"x", ""}}));
    EXPECT_EQ(SplitAlgoSettings(""), std::vector<AlgoSetting>{});
}

TEST(DescriptionDirections, TwoLettersCaseInsensitiveRestIgnored) {
    EXPECT_EQ(ParseDirectionCode("er"), (DirectionLetters{'E', 'R'}));
    EXPECT_EQ(ParseDirectionCode("ER-x"), (DirectionLetters{'E', 'R'}));
    EXPECT_EQ(ParseDirectionCode("dL"), (DirectionLetters{'D', 'L'}));
    EXPECT_EQ(ParseDirectionCode("E"), std::nullopt);
    EXPECT_EQ(ParseDirectionCode("XR"), std::nullopt);
    EXPECT_EQ(ParseDirectionCode("EX"), std::nullopt);
    EXPECT_EQ(ParseDirectionCode(""), std::nullopt);
    EXPECT_EQ(ParseDirectionCode("ЕR"), std::nullopt); // a Cyrillic Е
}

TEST(DescriptionNumbers, CollectionIdentifierValue) {
    EXPECT_EQ(CollectionNumber("12"), 12);
    EXPECT_EQ(CollectionNumber("  -7"), -7);
    EXPECT_EQ(CollectionNumber("+3x"), 3);
    EXPECT_EQ(CollectionNumber("abc"), 0);
    EXPECT_EQ(CollectionNumber(""), 0);
    EXPECT_EQ(CollectionNumber("99999999999"), INT_MAX);
    EXPECT_EQ(CollectionNumber("-99999999999"), INT_MIN);
}

TEST(RaviriInf, CollectionsAreTemplatesSectionsWithAnIdentifier) {
    Descriptions raviri(R"(
section "12 - collection"
  S "Name.R" "only a name"
section " - templates"
  S "orphan" ""
section "7 - templates"
  S "general" ""
  I "law" 0
section "7 - Templates"
section "7 - templatesX"
section "5 - templates"
  S "p" ""
section "5 - collection"
  S "Name.E" "English only"
section "7 - collection"
  S "Name.R" "Общая"
)");
    const CRaviriInf inf(raviri.store, "R");
    Names ids = inf.CollectionIds();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (Names{"5", "7"}));
    // In the store's index order, which is not the file's.
    Names indexOrder;
    for (std::int32_t i = 0; i < raviri.store.GetSectionCount(); ++i) {
        const std::string n = raviri.store.GetSectionName(i);
        if (n == "7 - templates" || n == "5 - templates")
            indexOrder.push_back(n.substr(0, 1));
    }
    EXPECT_EQ(inf.CollectionIds(), indexOrder);
    EXPECT_EQ(inf.CollectionDisplayName("7"), "Общая");
    EXPECT_EQ(inf.CollectionDisplayName("5"), "5"); // only another letter's name
    EXPECT_EQ(inf.CollectionDisplayName("12"), "only a name");
    EXPECT_EQ(inf.CollectionDisplayName("99"), "99");
    EXPECT_EQ(inf.ProfileKeys("7"), EntryNames(raviri.store, "7 - templates"));
    Names keys = inf.ProfileKeys("7");
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (Names{"general", "law"}));
    EXPECT_EQ(inf.ProfileKeys("12"), Names{});
}

TEST(RaviriInf, SectionOfCollectionOnlyDescribesNothing) {
    Descriptions raviri("section \"12 - collection\"\n  S \"Name.R\" \"x\"\n");
    EXPECT_EQ(CRaviriInf(raviri.store, "R").CollectionIds(), Names{});
}

TEST(SetupIni, InfoTextsAndItemEntriesWithDefaults) {
    Descriptions setup(R"(
section "Info"
  S "Comment.R" "Комментарий"
  S "Comment.E" "Comment"
  S "Copyright.R" "(c) Velmar"
section "law"
  I "Size" 2048
  S "NameOnCD" "DICTS\\LAW.ER"
  S "Direction" "er"
  S "Name.R" "Юридический"
section "bad types"
  S "Size" "12"
  I "NameOnCD" 3
)");
    const CSetupIni ini(setup.store, "R");
    EXPECT_EQ(ini.Comment(), "Комментарий");
    EXPECT_EQ(ini.Copyright(), "(c) Velmar");
    EXPECT_EQ(CSetupIni(setup.store, "E").Comment(), "Comment");
    EXPECT_EQ(CSetupIni(setup.store, "E").Copyright(), "");

    const ItemEntries law = ini.ReadItem("law");
    EXPECT_EQ(law.size, 2048);
    EXPECT_EQ(law.nameOnCD, "DICTS\\LAW.ER");
    EXPECT_EQ(law.direction, "er");
    EXPECT_EQ(law.name, "Юридический");

    const ItemEntries missing = ini.ReadItem("nothing");
    EXPECT_EQ(missing.size, 0);
    EXPECT_EQ(missing.nameOnCD, "");
    EXPECT_EQ(missing.direction, "");
    EXPECT_EQ(missing.name, "");

    const ItemEntries wrong = ini.ReadItem("bad types");
    EXPECT_EQ(wrong.size, 0);
    EXPECT_EQ(wrong.nameOnCD, "");
}

TEST(SetupIni, ProfileSectionListsSettingsAndKeywords) {
    Descriptions setup(R"(
section "prof"
  S "Dictionaries" "law;;it"
  S "BaseTM" "tm1; tm2"
  S "Preproc" "pp1;nouid;pp3;missing"
  I "Preproc.pp1" 5
  I "Preproc.nouid" 6
  S "Preproc.pp3" "7"
  S "Algo.1" "Mode | fast;Style"
  S "Algo.3" "Never|read"
  S "Keywords.2" "второй"
  S "Keywords.1" "первый"
  S "Keywords.4" "after a gap"
  S "Keywords" "KW\\list.txt"
  S "WWT" "prof.wwt"
  I "ShowTransVariants" 5
  S "TranslitUnknown" "0"
section "pp1"
  S "UID" "{1}"
section "nouid"
  S "UID" ""
section "pp3"
  S "UID" "{3}"
section "other"
  I "ShowTransVariants" 0
  B "TranslitUnknown" 1
)");
    const CSetupIni ini(setup.store, "R");
    const ProfileEntries p = ini.ReadProfile("prof");
    EXPECT_EQ(p.dictionaries, (Names{"law"}));
    EXPECT_EQ(p.baseTM, (Names{"tm1", " tm2"}));
    EXPECT_EQ(p.preprocessorKeys, (Names{"pp1", "nouid", "pp3", "missing"}));
    ASSERT_EQ(p.preprocessors.size(), 2u);
    EXPECT_EQ(p.preprocessors[0].key, "pp1");
    EXPECT_EQ(p.preprocessors[0].uid, "{1}");
    EXPECT_EQ(p.preprocessors[0].mask, 5);
    EXPECT_EQ(p.preprocessors[1].key, "pp3");
    EXPECT_EQ(p.preprocessors[1].mask, 0); // stored as text: the integer default
    EXPECT_EQ(p.algorithms, (std::vector<AlgoSetting>{{"Mode", "fast"}, {"Style", ""}}));
    EXPECT_EQ(p.keywords, (Names{"первый", "второй"}));
    EXPECT_EQ(p.keywordsFile, "KW\\list.txt");
    EXPECT_EQ(p.wwtFile, "prof.wwt");
    EXPECT_EQ(p.showTransVariants, "true");
    EXPECT_EQ(p.translitUnknown, "0");

    const ProfileEntries other = ini.ReadProfile("other");
    EXPECT_EQ(other.showTransVariants, "false");
    EXPECT_EQ(other.translitUnknown, ""); // a 'B' entry is neither text nor integer here
    EXPECT_TRUE(other.dictionaries.empty());
    EXPECT_TRUE(other.algorithms.empty());
    EXPECT_TRUE(other.keywords.empty());

    const ProfileEntries none = ini.ReadProfile("not in SETUP.INI");
    EXPECT_TRUE(none.preprocessorKeys.empty());
    EXPECT_EQ(none.showTransVariants, "");
    EXPECT_EQ(ini.PreprocessorUid("pp3"), "{3}");
    EXPECT_EQ(ini.PreprocessorUid("nouid"), "");
}

TEST(SetupIni, NumberedEntriesStopAtTheFirstEmptyOne) {
    Descriptions setup(R"(
section "p"
  S "Algo.1" "a|1"
  S "Algo.2" ""
  S "Algo.3" "c|3"
  I "Keywords.1" 4
  S "Keywords.2" "x"
)");
    EXPECT_EQ(ReadNumberedStrings(setup.store, "p", "Algo."), (Names{"a|1"}));
    EXPECT_EQ(ReadNumberedStrings(setup.store, "p", "Keywords."), Names{}); // not text: empty
    EXPECT_EQ(ReadNumberedStrings(setup.store, "missing", "Algo."), Names{});
}

} // namespace
} // namespace quillon::test
