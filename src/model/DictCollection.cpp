#include "model/DictCollection.h"

namespace quillon {

CDictCollection::CDictCollection(const CDictCollection& other)
    : CBaseReferable(), m_displayName(other.m_displayName), m_numericId(other.m_numericId),
      m_idText(other.m_idText), m_profiles(other.m_profiles) {}

CDictCollection& CDictCollection::operator=(const CDictCollection& other) {
    if (this == &other)
        return *this;
    m_displayName = other.m_displayName;
    m_numericId = other.m_numericId;
    m_idText = other.m_idText;
    m_profiles = other.m_profiles;
    m_dictionaries.clear();
    m_basesTM.clear();
    m_comment.clear();
    m_copyright.clear();
    return *this;
}

} // namespace quillon
