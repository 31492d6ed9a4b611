#pragma once
// CVdxTopicInfo: one translation profile of a collection (XML document "Topic"). It shares its
// dictionaries and TM bases with the collection's tables and owns its preprocessors, algorithm
// settings and keyword items. Every list keeps reading order.
#include "model/DictInfo.h"
#include "model/SmartPtr.h"
#include "model/VdxAlgo.h"
#include "model/VdxBaseTM.h"
#include "model/VdxCollectionItem.h"
#include "model/VdxItemBase.h"
#include "model/VdxPreproc.h"
#include "model/XmlGenerator.h"

#include <string>
#include <vector>

namespace quillon {

class CVdxTopicInfo : public CVdxCollectionItem, public CXmlGenerator {
public:
    CVdxTopicInfo() = default;

    // Sum of CountSize(pass) over its dictionaries, then its TM bases, then the profile itself:
    // a dictionary or TM base already counted in this pass (through another profile) adds 0.
    std::int64_t CountSize(std::uint32_t pass) override;

    // Show-variants and transliteration settings: empty, "true", "false" or the description
    // file's text.
    const std::string& GetShowVariants() const { return m_showVariants; }
    void SetShowVariants(std::string value) { m_showVariants = std::move(value); }
    const std::string& GetTranslitUnknown() const { return m_translitUnknown; }
    void SetTranslitUnknown(std::string value) { m_translitUnknown = std::move(value); }
    // The distribution folder followed by the file name on the distribution, or empty.
    const std::string& GetFilePath() const { return m_filePath; }
    void SetFilePath(std::string path) { m_filePath = std::move(path); }

    std::vector<CSmartPtr<CDictInfo>>& Dictionaries() { return m_dictionaries; }
    const std::vector<CSmartPtr<CDictInfo>>& Dictionaries() const { return m_dictionaries; }
    std::vector<CSmartPtr<CVdxBaseTM>>& BasesTM() { return m_basesTM; }
    const std::vector<CSmartPtr<CVdxBaseTM>>& BasesTM() const { return m_basesTM; }
    std::vector<CSmartPtr<CVdxPreproc>>& Preprocessors() { return m_preprocessors; }
    const std::vector<CSmartPtr<CVdxPreproc>>& Preprocessors() const { return m_preprocessors; }
    std::vector<CSmartPtr<CVdxAlgo>>& Algorithms() { return m_algorithms; }
    const std::vector<CSmartPtr<CVdxAlgo>>& Algorithms() const { return m_algorithms; }
    // Keyword texts, then the keywords file, then the WWT file, as the loader appends them.
    std::vector<CSmartPtr<CVdxItemBase>>& Items() { return m_items; }
    const std::vector<CSmartPtr<CVdxItemBase>>& Items() const { return m_items; }

    // "Topic": DirID, Name, FilePath, ShowVariants, TranslitUnk, FullName, then the elements of
    // the dictionaries, TM bases, preprocessors, algorithm settings and keyword items.
    std::string GetXmlBody() const override;
    std::string GetXmlTag() const override { return "Topic"; }

private:
    std::string m_showVariants;
    std::string m_translitUnknown;
    std::string m_filePath;
    std::vector<CSmartPtr<CDictInfo>> m_dictionaries;
    std::vector<CSmartPtr<CVdxBaseTM>> m_basesTM;
    std::vector<CSmartPtr<CVdxPreproc>> m_preprocessors;
    std::vector<CSmartPtr<CVdxAlgo>> m_algorithms;
    std::vector<CSmartPtr<CVdxItemBase>> m_items;
};

} // namespace quillon
