#include "descriptions/LanguageDirections.h"

#include "product/ComError.h"
#include "product/CreateService.h"
#include "product/ServiceIds.h"
#include "support/Format.h"
#include "support/Strings.h"

#include <array>

namespace quillon {

namespace {

struct Language {
    char letter;
    std::uint32_t sourceValue; // the target value is this shifted into the high word
    int prefixId;              // "Англо"
    int adjectiveId;           // "английский"
};

constexpr std::array<Language, 9> kLanguages{{
    {'E', 1, 1019, 1024},
    {'R', 2, 1020, 1025},
    {'G', 4, 1021, 1026},
    {'F', 8, 1022, 1027},
    {'I', 16, 1023, 1028},
    {'S', 32, 57362, 57363},
    {'P', 64, 57346, 57349},
    {'L', 128, 57347, 57350},
    {'D', 256, 57348, 57351},
}};

constexpr int kPairTemplateId = 1018;

const Language* ByLetter(char c) {
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    for (const auto& language : kLanguages)
        if (language.letter == c)
            return &language;
    return nullptr;
}

const Language* BySource(DirectionId id) {
    const DirectionId low = id & 0xFFFFu;
    for (const auto& language : kLanguages)
        if (language.sourceValue == low)
            return &language;
    return nullptr;
}

const Language* ByTarget(DirectionId id) {
    const DirectionId high = id & 0xFFFF0000u;
    for (const auto& language : kLanguages)
        if ((language.sourceValue << 16) == high)
            return &language;
    return nullptr;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Steps 2 and 3 of establishing the kernel connection: create, then log in. A failure of either
// (a failed status or a raised error) leaves the slot empty.
bool Connect(std::shared_ptr<KernelService>& connection) {
    try {
        connection = CreateService<KernelService>(clsid::KernelService, ServerContext::Any);
        auto login = std::dynamic_pointer_cast<KernelLogin>(connection);
        if (login && Succeeded(login->Login(1, "RAVIRI", 1)))
            return true;
    } catch (...) {
    }
    connection.reset();
    return false;
}

} // namespace

DirectionId DirectionFromCode(std::string_view code) {
    if (code.size() < 2)
        return 0;
    const Language* source = ByLetter(code[0]);
    const Language* target = ByLetter(code[1]);
    if (!source || !target)
        return 0;
    return source->sourceValue + (target->sourceValue << 16);
}

std::string CodeFromDirection(DirectionId id) {
    const Language* source = BySource(id);
    const Language* target = ByTarget(id);
    if (!source || !target)
        return {};
    return {source->letter, target->letter};
}

std::string PairName(DirectionId id, PairForm form) {
    const Language* source = BySource(id);
    const Language* target = ByTarget(id);
    if (!source || !target)
        return {};
    std::string adjective = LoadString(target->adjectiveId);
    if (form == PairForm::Feminine)
        ReplaceAll(adjective, "кий", "кая");
    else if (form == PairForm::Plural)
        ReplaceAll(adjective, "кий", "кие");
    return FormatText(LoadString(kPairTemplateId), {LoadString(source->prefixId), adjective});
}

bool IsDirectionInstalled(const InstalledDirections& directions, DirectionId id) {
    return directions.count(static_cast<std::int32_t>(id)) != 0;
}

std::unique_ptr<InstalledDirections>
GetInstalledDirections(std::shared_ptr<KernelService>& connection) {
    auto directions = std::make_unique<InstalledDirections>();
    if (!connection && !Connect(connection))
        return directions;
    try {
        std::uint16_t reported = 0;
        ThrowIfFailed(connection->GetDirectionCount(reported), "GetDirectionCount");
        // The count is a signed 16-bit number: a "negative" one lists nothing.
        const auto count = static_cast<std::int16_t>(reported);
        if (count == 0)
            return nullptr;
        for (std::int32_t index = 0; index < count; ++index) {
            DirectionId id = 0;
            std::string name;
            if (Succeeded(connection->GetDirection(index, id, name)) && id != 0)
                (*directions)[static_cast<std::int32_t>(id)] = std::move(name);
        }
    } catch (...) {
        return nullptr;
    }
    return directions;
}

} // namespace quillon
