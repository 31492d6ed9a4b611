#pragma once
// What the product reads from the XML descriptions the installer sends: a translation profile
// ("Topic") and a TM base ("Memory"). Parsed with pugixml; a text that is not well-formed XML,
// or whose root element is not the one expected, does not parse.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldo {

struct TmDescription {
    std::string uid, name, file, fullName;
    std::uint32_t directionId = 0;
};

struct ProfileDescription {
    std::uint32_t directionId = 0;
    std::string name, filePath, fullName;
    std::vector<std::string> dictionaryUids;   // non-empty "UID"s of the "Dict" elements
    std::vector<std::string> tmUids;           // non-empty "UID"s of the "Memory" elements
};

std::optional<ProfileDescription> ParseProfileXml(std::string_view xml, std::string& error);
std::optional<TmDescription> ParseTmXml(std::string_view xml, std::string& error);

} // namespace kaldo
