#include "model/DictDistrib.h"

#include "product/ComError.h"
#include "support/Text.h"

#include <algorithm>

namespace quillon {

bool CDictDistrib::CDDEqualCollID::operator()(const CDictCollection& collection) const {
    return EqualsNoCase(collection.GetIdText(), m_idText);
}

const CDictCollection& CDictDistrib::FindCollection(const std::string& idText) const {
    if (!m_indexed) {
        m_index.clear();
        for (const CDictCollection& collection : m_collections)
            m_index.emplace(FoldCase(collection.GetIdText()), &collection);
        m_indexed = true;
    }
    const auto found = m_index.find(FoldCase(idText));
    if (found == m_index.end())
        throw ComError(E_INVALIDARG, "no collection with the identifier \"" + idText + "\"");
    return *found->second;
}

CDictCollection& CDictDistrib::FindCollection(const std::string& idText) {
    return const_cast<CDictCollection&>(
        static_cast<const CDictDistrib&>(*this).FindCollection(idText));
}

} // namespace quillon
