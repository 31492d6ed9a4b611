#include "model/VdxAlgo.h"

namespace quillon {

std::string CVdxAlgo::GetXmlBody() const {
    return XmlTextElement("Name", m_name) + XmlTextElement("value", m_value);
}

} // namespace quillon
