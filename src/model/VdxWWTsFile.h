#pragma once
// CVdxWWTsFile: the WWT file of a profile: the distribution folder followed by its
// "WWT" entry; XML element "WWT" holding "FilePath".
#include "model/VdxItemBase.h"

#include <string>

namespace quillon {

class CVdxWWTsFile : public CVdxItemBase {
public:
    CVdxWWTsFile() = default;
    explicit CVdxWWTsFile(std::string filePath) : m_filePath(std::move(filePath)) {}

    const std::string& GetFilePath() const { return m_filePath; }
    void SetFilePath(std::string path) { m_filePath = std::move(path); }

    std::string GetXmlBody() const override;
    std::string GetXmlTag() const override { return "WWT"; }

private:
    std::string m_filePath;
};

} // namespace quillon
