#include "model/VdxPreproc.h"

namespace quillon {

std::string CVdxPreproc::GetXmlBody() const {
    return XmlTextElement("Name", m_name) + XmlTextElement("UID", m_uid) +
           XmlNumberElement("Mask", m_mask) + XmlNumberElement("idx", m_index);
}

} // namespace quillon
