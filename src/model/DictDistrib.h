#pragma once
// CDictDistrib: the collections of one distribution as the collection page lists them: copies
// (name, identifiers and profiles; no tables, comment or copyright), in the loader's order.
#include "model/DictCollection.h"

#include <list>
#include <string>
#include <unordered_map>

namespace quillon {

class CDictDistrib {
public:
    CDictDistrib() = default;
    CDictDistrib(const CDictDistrib& other) : m_collections(other.m_collections) {}
    CDictDistrib& operator=(const CDictDistrib& other) {
        m_collections = other.m_collections;
        m_indexed = false;
        return *this;
    }
    virtual ~CDictDistrib() = default;

    // A list, so a reference FindCollection answers stays valid while entries are appended.
    // (Taking it to change forgets the identifier index; it is made again at the next lookup.)
    std::list<CDictCollection>& GetCollections() {
        m_indexed = false;
        return m_collections;
    }
    const std::list<CDictCollection>& GetCollections() const { return m_collections; }

    // The first collection whose identifier text equals `idText` ignoring case, through an
    // index of the folded identifiers (made once per change of the list).
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
    mutable std::unordered_map<std::string, const CDictCollection*> m_index; // folded id -> first
    mutable bool m_indexed = false;
};

} // namespace quillon
