#include "model/VdxCollectionItem.h"

#include "model/XmlGenerator.h"

namespace quillon {

std::int64_t CVdxCollectionItem::CountSize(std::uint32_t pass) {
    if (m_countingPass == pass)
        return 0;
    m_countingPass = pass;
    return m_size;
}

std::string CVdxCollectionItem::GetStoredItemXmlBody(const std::string& uid) const {
    return XmlTextElement("UID", uid) +
           XmlNumberElement("DirID", static_cast<std::int32_t>(m_dirId)) +
           XmlTextElement("Name", m_name) + XmlTextElement("File", m_key) +
           XmlTextElement("FullName", m_fullName);
}

std::uint32_t NextCountingPass() {
    static std::uint32_t pass = 0;
    if (++pass == 0) // after wrapping, skip the value every fresh item carries
        ++pass;
    return pass;
}

} // namespace quillon
