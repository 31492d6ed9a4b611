#include "model/XmlGenerator.h"

namespace quillon {

namespace {

std::string Element(std::string_view tag, std::string_view content) {
    std::string out;
    out.reserve(tag.size() * 2 + content.size() + 5);
    out.append("<").append(tag).append(">").append(content).append("</").append(tag).append(">");
    return out;
}

} // namespace

std::string CXmlGenerator::GetXmlElement() const {
    return Element(GetXmlTag(), GetXmlBody());
}

std::string CXmlGenerator::GetXmlDocument() const {
    return "<?xml version=\"1.0\"?>\r\n" + GetXmlElement();
}

std::string EscapeXmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string XmlTextElement(std::string_view tag, std::string_view text) {
    return Element(tag, EscapeXmlText(text));
}

std::string XmlNumberElement(std::string_view tag, std::int64_t number) {
    return Element(tag, std::to_string(number));
}

} // namespace quillon
