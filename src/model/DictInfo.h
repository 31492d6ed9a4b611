#pragma once
// CDictInfo: one dictionary of a collection (XML element "Dict"). Shared by every profile of
// the collection that lists its key.
#include "model/VdxCollectionItem.h"
#include "model/XmlGenerator.h"

#include <string>

namespace quillon {

class CDictInfo : public CVdxCollectionItem, public CXmlGenerator {
public:
    CDictInfo() = default;

    // The dictionary's identifier in the translation system, a GUID in registry form with
    // braces; empty until the installation sets it (XML "UID").
    const std::string& GetUID() const { return m_uid; }
    void SetUID(std::string uid) { m_uid = std::move(uid); }

    // Links the unpacked copy (`tempFolder` + separator when missing + key) to the direction's
    // general dictionary at `generalDictPath`: copies LinkNumber, then LinkCode from the general
    // dictionary, closes it, sets FormatLevel 72 on the copy and closes it. False when either
    // file cannot be opened (nothing is written then).
    bool CopyLinkAttributes(const std::string& generalDictPath,
                            const std::string& tempFolder) const;

    // "Dict": UID, DirID, Name, File, FullName.
    std::string GetXmlBody() const override;
    std::string GetXmlTag() const override { return "Dict"; }

private:
    std::string m_uid;
};

} // namespace quillon
