#pragma once
// CDictCollection: one dictionary collection of a distribution: its profiles in reading order
// and, by item key, every dictionary and TM base its profiles list (each entered once).
#include "model/BaseReferable.h"
#include "model/DictInfo.h"
#include "model/SmartPtr.h"
#include "model/VdxBaseTM.h"
#include "model/VdxTopicInfo.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quillon {

class CDictCollection : public CBaseReferable {
public:
    using Profiles = std::vector<CSmartPtr<CVdxTopicInfo>>;
    using DictionaryTable = std::map<std::string, CSmartPtr<CDictInfo>>; // exact key comparison
    using BaseTMTable = std::map<std::string, CSmartPtr<CVdxBaseTM>>;

    CDictCollection() = default;
    // A copy is a new object (count 0) that carries the display name, the numeric identifier,
    // the identifier text and the profile sequence (the same profile objects); its tables,
    // comment and copyright are empty.
    CDictCollection(const CDictCollection& other);
    CDictCollection& operator=(const CDictCollection& other);

    std::size_t GetProfileCount() const { return m_profiles.size(); }

    const std::string& GetDisplayName() const { return m_displayName; }
    void SetDisplayName(std::string name) { m_displayName = std::move(name); }
    std::int32_t GetNumericId() const { return m_numericId; }
    void SetNumericId(std::int32_t id) { m_numericId = id; }
    const std::string& GetIdText() const { return m_idText; }
    void SetIdText(std::string id) { m_idText = std::move(id); }

    Profiles& GetProfiles() { return m_profiles; }
    const Profiles& GetProfiles() const { return m_profiles; }
    DictionaryTable& GetDictionaries() { return m_dictionaries; }
    const DictionaryTable& GetDictionaries() const { return m_dictionaries; }
    BaseTMTable& GetBasesTM() { return m_basesTM; }
    const BaseTMTable& GetBasesTM() const { return m_basesTM; }

    const std::string& GetComment() const { return m_comment; }
    void SetComment(std::string comment) { m_comment = std::move(comment); }
    const std::string& GetCopyright() const { return m_copyright; }
    void SetCopyright(std::string copyright) { m_copyright = std::move(copyright); }

private:
    std::string m_displayName;
    std::int32_t m_numericId = 0;
    std::string m_idText;
    Profiles m_profiles;
    DictionaryTable m_dictionaries;
    BaseTMTable m_basesTM;
    std::string m_comment;
    std::string m_copyright;
};

} // namespace quillon
