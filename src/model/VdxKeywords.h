#pragma once
// CVdxKeywords: one keyword text of a profile ("Keywords.N"); XML element "Keywords" whose
// content is the text itself.
#include "model/VdxItemBase.h"

#include <string>

namespace quillon {

class CVdxKeywords : public CVdxItemBase {
public:
    CVdxKeywords() = default;
    explicit CVdxKeywords(std::string text) : m_text(std::move(text)) {}

    const std::string& GetText() const { return m_text; }
    void SetText(std::string text) { m_text = std::move(text); }

    std::string GetXmlBody() const override;
    std::string GetXmlTag() const override { return "Keywords"; }

private:
    std::string m_text;
};

} // namespace quillon
