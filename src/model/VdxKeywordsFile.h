#pragma once
// CVdxKeywordsFile: the keywords file of a profile: the distribution folder followed by its
// "Keywords" entry; XML element "KeywordsFile" holding "FilePath".
#include "model/VdxItemBase.h"

#include <string>

namespace quillon {

class CVdxKeywordsFile : public CVdxItemBase {
public:
    CVdxKeywordsFile() = default;
    explicit CVdxKeywordsFile(std::string filePath) : m_filePath(std::move(filePath)) {}

    const std::string& GetFilePath() const { return m_filePath; }
    void SetFilePath(std::string path) { m_filePath = std::move(path); }

    std::string GetXmlBody() const override;
    std::string GetXmlTag() const override { return "KeywordsFile"; }

private:
    std::string m_filePath;
};

} // namespace quillon
