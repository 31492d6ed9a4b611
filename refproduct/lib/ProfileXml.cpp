#include "ProfileXml.h"

#include "ProductRegistry.h"

#include <pugixml.hpp>

namespace kaldo {
namespace {

std::string Child(const pugi::xml_node& node, const char* name) { return node.child(name).text().as_string(); }

std::uint32_t DirectionOf(const pugi::xml_node& node) {
    const auto n = ParseNumber(Child(node, "DirID"));
    return n && *n >= INT32_MIN && *n <= UINT32_MAX ? static_cast<std::uint32_t>(*n) : 0;
}

bool Load(pugi::xml_document& doc, std::string_view xml, std::string& error) {
    const auto result = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
        error = std::string("XML error at offset ") + std::to_string(result.offset) + ": " + result.description();
        return false;
    }
    return true;
}

} // namespace

std::optional<ProfileDescription> ParseProfileXml(std::string_view xml, std::string& error) {
    pugi::xml_document doc;
    if (!Load(doc, xml, error))
        return std::nullopt;
    const pugi::xml_node topic = doc.child("Topic");
    if (!topic) {
        error = "the description holds no Topic element";
        return std::nullopt;
    }
    ProfileDescription p;
    p.directionId = DirectionOf(topic);
    p.name = Child(topic, "Name");
    p.filePath = Child(topic, "FilePath");
    p.fullName = Child(topic, "FullName");
    for (const auto& dict : topic.children("Dict"))
        if (std::string uid = Child(dict, "UID"); !uid.empty())
            p.dictionaryUids.push_back(std::move(uid));
    for (const auto& tm : topic.children("Memory"))
        if (std::string uid = Child(tm, "UID"); !uid.empty())
            p.tmUids.push_back(std::move(uid));
    if (p.name.empty()) {
        error = "the profile has no Name";
        return std::nullopt;
    }
    return p;
}

std::optional<TmDescription> ParseTmXml(std::string_view xml, std::string& error) {
    pugi::xml_document doc;
    if (!Load(doc, xml, error))
        return std::nullopt;
    const pugi::xml_node memory = doc.child("Memory");
    if (!memory) {
        error = "the description holds no Memory element";
        return std::nullopt;
    }
    TmDescription t;
    t.uid = Child(memory, "UID");
    t.directionId = DirectionOf(memory);
    t.name = Child(memory, "Name");
    t.file = Child(memory, "File");
    t.fullName = Child(memory, "FullName");
    return t;
}

} // namespace kaldo
