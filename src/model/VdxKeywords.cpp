#include "model/VdxKeywords.h"

namespace quillon {

std::string CVdxKeywords::GetXmlBody() const {
    return EscapeXmlText(m_text);
}

} // namespace quillon
