#include "model/VdxBaseTM.h"

namespace quillon {

std::string CVdxBaseTM::GetXmlBody() const {
    return GetStoredItemXmlBody(m_uid);
}

} // namespace quillon
