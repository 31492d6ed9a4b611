#pragma once
// CVdxBaseTM: one TM base of a collection (XML element "Memory"). Shared by every profile of
// the collection that lists its key.
#include "model/VdxCollectionItem.h"
#include "model/XmlGenerator.h"

#include <string>

namespace quillon {

class CVdxBaseTM : public CVdxCollectionItem, public CXmlGenerator {
public:
    CVdxBaseTM() = default;

    // The TM base's identifier in the translation system; empty until the installation takes
    // it from the kernel's answer (XML "UID").
    const std::string& GetUID() const { return m_uid; }
    void SetUID(std::string uid) { m_uid = std::move(uid); }

    // "Memory": UID, DirID, Name, File, FullName.
    std::string GetXmlBody() const override;
    std::string GetXmlTag() const override { return "Memory"; }

private:
    std::string m_uid;
};

} // namespace quillon
