#pragma once
// CXmlGenerator: how a model object describes itself as an XML element for the kernel
// (profiles as "Topic" documents, TM bases as "Memory" documents). Elements carry no attributes,
// no line breaks and no white space between them. Text content has '&', '<' and '>' written as
// "&amp;", "&lt;" and "&gt;"; nothing else is changed, so the kernel reads back exactly the
// model's values. Texts are UTF-8 here (the kernel contract carries UTF-8 strings).
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

class CXmlGenerator {
public:
    virtual ~CXmlGenerator() = default;
    // The content of the object's element (already escaped where it holds text).
    virtual std::string GetXmlBody() const = 0;
    // The name of the object's element.
    virtual std::string GetXmlTag() const = 0;

    // "<tag>body</tag>"
    std::string GetXmlElement() const;
    // "<?xml version=\"1.0\"?>\r\n<tag>body</tag>" (no trailing line break).
    std::string GetXmlDocument() const;
};

// '&' -> "&amp;", '<' -> "&lt;", '>' -> "&gt;"; every other byte unchanged.
std::string EscapeXmlText(std::string_view text);
// "<tag>" + escaped text + "</tag>"; an empty text gives "<tag></tag>".
std::string XmlTextElement(std::string_view tag, std::string_view text);
// "<tag>" + signed decimal number + "</tag>".
std::string XmlNumberElement(std::string_view tag, std::int64_t number);

} // namespace quillon
