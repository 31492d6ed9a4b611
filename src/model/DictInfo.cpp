#include "model/DictInfo.h"

#include "install/DictFile.h"
#include "product/Paths.h"

namespace quillon {

bool CDictInfo::CopyLinkAttributes(const std::string& generalDictPath,
                                   const std::string& tempFolder) const {
    std::string unpackedPath = tempFolder;
    AppendBackslash(unpackedPath);
    unpackedPath += GetKey();

    CDictFile unpacked(unpackedPath);
    CDictFile general(generalDictPath);
    if (!unpacked.Open() || !general.Open())
        return false;
    unpacked.SetLinkNumber(general.GetLinkNumber());
    unpacked.SetLinkCode(general.GetLinkCode());
    general.Close();
    unpacked.SetFormatLevel(72);
    unpacked.Close();
    return true;
}

std::string CDictInfo::GetXmlBody() const {
    return GetStoredItemXmlBody(m_uid);
}

} // namespace quillon
