#include "model/VdxWWTsFile.h"

namespace quillon {

std::string CVdxWWTsFile::GetXmlBody() const {
    return XmlTextElement("FilePath", m_filePath);
}

} // namespace quillon
