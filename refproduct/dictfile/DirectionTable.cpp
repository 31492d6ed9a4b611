#include "DirectionTable.h"

#include "support/Format.h"
#include "support/Strings.h"

#include <array>

namespace kaldo {
namespace {

struct Language {
    char letter;
    std::uint32_t source;   // the target value is source << 16
    int prefixId;           // "Англо"
    int adjectiveId;        // "английский"
    const char* english;    // "English"
};

constexpr std::array<Language, 9> kLanguages{{
    {'E', 1, 1019, 1024, "English"},
    {'R', 2, 1020, 1025, "Russian"},
    {'G', 4, 1021, 1026, "German"},
    {'F', 8, 1022, 1027, "French"},
    {'I', 16, 1023, 1028, "Italian"},
    {'S', 32, 57362, 57363, "Spanish"},
    {'P', 64, 57346, 57349, "Portuguese"},
    {'L', 128, 57347, 57350, "Polish"},
    {'D', 256, 57348, 57351, "Dutch"},
}};

constexpr std::uint32_t kPrimaryLanguageMask = 0x3FF;
constexpr std::uint32_t kEnglish = 0x09;

const Language* ByLetter(char c) {
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    for (const auto& l : kLanguages)
        if (l.letter == c)
            return &l;
    return nullptr;
}

const Language* BySource(std::uint32_t bits) {
    for (const auto& l : kLanguages)
        if (l.source == bits)
            return &l;
    return nullptr;
}

} // namespace

std::uint32_t DirectionIdFromCode(std::string_view code) {
    if (code.size() < 2)
        return 0;
    const Language* source = ByLetter(code[0]);
    const Language* target = ByLetter(code[1]);
    return source && target ? source->source + (target->source << 16) : 0;
}

std::string DirectionCode(std::uint32_t id) {
    const Language* source = BySource(id & 0xFFFF);
    const Language* target = BySource(id >> 16);
    if (!source || !target)
        return {};
    return {source->letter, target->letter};
}

std::string DirectionName(std::uint32_t id, std::uint32_t languageId) {
    const Language* source = BySource(id & 0xFFFF);
    const Language* target = BySource(id >> 16);
    if (!source || !target)
        return {};
    if ((languageId & kPrimaryLanguageMask) == kEnglish)
        return std::string(source->english) + "-" + target->english;
    return quillon::FormatText(quillon::LoadString(1018),
                               {quillon::LoadString(source->prefixId), quillon::LoadString(target->adjectiveId)});
}

} // namespace kaldo
