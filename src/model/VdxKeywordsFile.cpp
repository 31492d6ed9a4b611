#include "model/VdxKeywordsFile.h"

namespace quillon {

std::string CVdxKeywordsFile::GetXmlBody() const {
    return XmlTextElement("FilePath", m_filePath);
}

} // namespace quillon
