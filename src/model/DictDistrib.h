#pragma once
// CDictDistrib: the collections of one distribution as the collection page lists them: copies
// (name, identifiers and profiles; no tables, comment or copyright), in the loader's order.
#include "model/DictCollection.h"

#include <list>
#include <string>

namespace quillon {

class CDictDistrib {
public:
    CDictDistrib() = default;
    CDictDistrib(const CDictDistrib&) = default;
    CDictDistrib& operator=(const CDictDistrib&) = default;
    virtual ~CDictDistrib() = default;

    // A list, so a reference FindCollection answers stays valid while entries are appended.
    std::list<CDictCollection>& GetCollections() { return m_collections; }
    const std::list<CDictCollection>& GetCollections() const { return m_collections; }

    // The first collection whose identifier text equals `idText` ignoring case.
    // Throws ComError(E_INVALIDARG) when there is none.
    CDictCollection& FindCollection(const std::string& idText);
    const CDictCollection& FindCollection(const std::string& idText) const;

    // The predicate FindCollection matches with.
    class CDDEqualCollID {
    public:
        explicit CDDEqualCollID(std::string idText) : m_idText(std::move(idText)) {}
        CDDEqualCollID(const CDDEqualCollID&) = default;
        CDDEqualCollID& operator=(const CDDEqualCollID&) = default;
        virtual ~CDDEqualCollID() = default;
        bool operator()(const CDictCollection& collection) const;

    private:
        std::string m_idText;
    };

private:
    std::list<CDictCollection> m_collections;
};

} // namespace quillon
