#include "platform/Ports.h"
#include "support/Strings.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(Strings, BuiltinTableHoldsTheSystemTexts) {
    EXPECT_EQ(LoadString(57355), "Ошибка при обращении к сервису установки.");
    EXPECT_EQ(LoadString(2016), "Установка выбранной коллекции словарей закончена.\nХотите установить другую коллекцию?");
    EXPECT_EQ(LoadString(1005), "%s байт\n%s байт");
    EXPECT_EQ(LoadString(1018), "%s-%s");
    EXPECT_EQ(LoadString(500), "R");
    // Trailing blanks are part of the texts.
    EXPECT_EQ(LoadString(2028), "Ошибка при открытии файла словаря. Словарь не будет установлен. ");
    EXPECT_TRUE(LoadString(57371).ends_with("операцию.  "));
    EXPECT_EQ(LoadString(4242), "");
}

class OneString : public StringTable {
public:
    std::optional<std::string> Find(int id) const override {
        if (id == 57344)
            return std::string("Dictionary installer");
        return std::nullopt;
    }
};

TEST(Strings, InstalledTableStandsInFrontOfTheBuiltinOne) {
    OneString english;
    Ports ports;
    ports.strings = &english;
    ScopedPorts scope(ports);
    EXPECT_EQ(LoadString(57344), "Dictionary installer");
    EXPECT_EQ(LoadString(1035), "Систем перевода семейства KALDO на вашем компьютере не обнаружено.");
}

} // namespace
} // namespace quillon
