#include "model/VdxTopicInfo.h"

namespace quillon {

namespace {

template <class T> void AppendElements(std::string& out, const std::vector<CSmartPtr<T>>& list) {
    for (const auto& entry : list)
        if (entry)
            out += entry->GetXmlElement();
}

} // namespace

std::int64_t CVdxTopicInfo::CountSize(std::uint32_t pass) {
    std::int64_t total = 0;
    for (const auto& dictionary : m_dictionaries)
        if (dictionary)
            total += dictionary->CountSize(pass);
    for (const auto& base : m_basesTM)
        if (base)
            total += base->CountSize(pass);
    return total + CVdxCollectionItem::CountSize(pass);
}

std::string CVdxTopicInfo::GetXmlBody() const {
    std::string out = XmlNumberElement("DirID", static_cast<std::int32_t>(GetDirID()));
    out += XmlTextElement("Name", GetName());
    out += XmlTextElement("FilePath", m_filePath);
    out += XmlTextElement("ShowVariants", m_showVariants);
    out += XmlTextElement("TranslitUnk", m_translitUnknown);
    out += XmlTextElement("FullName", GetFullName());
    AppendElements(out, m_dictionaries);
    AppendElements(out, m_basesTM);
    AppendElements(out, m_preprocessors);
    AppendElements(out, m_algorithms);
    AppendElements(out, m_items);
    return out;
}

} // namespace quillon
