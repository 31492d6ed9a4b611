#include "model/DictDistrib.h"

#include "product/ComError.h"
#include "support/Text.h"

#include <algorithm>

namespace quillon {

bool CDictDistrib::CDDEqualCollID::operator()(const CDictCollection& collection) const {
    return EqualsNoCase(collection.GetIdText(), m_idText);
}

const CDictCollection& CDictDistrib::FindCollection(const std::string& idText) const {
    const auto found =
        std::find_if(m_collections.begin(), m_collections.end(), CDDEqualCollID(idText));
    if (found == m_collections.end())
        throw ComError(E_INVALIDARG, "no collection with the identifier \"" + idText + "\"");
    return *found;
}

CDictCollection& CDictDistrib::FindCollection(const std::string& idText) {
    return const_cast<CDictCollection&>(
        static_cast<const CDictDistrib&>(*this).FindCollection(idText));
}

} // namespace quillon
