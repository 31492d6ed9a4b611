#pragma once
// CVdxItemBase: the common base of a profile's keyword items (keyword texts, keywords file,
// WWT file), which a profile holds in one list in reading order. It adds nothing of its own;
// each kind gives its element.
#include "model/BaseReferable.h"
#include "model/XmlGenerator.h"

namespace quillon {

class CVdxItemBase : public CXmlGenerator, public virtual CBaseReferable {
public:
    std::string GetXmlBody() const override = 0;
    std::string GetXmlTag() const override = 0;

protected:
    CVdxItemBase() = default;
};

} // namespace quillon
