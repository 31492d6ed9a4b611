#pragma once
// CVdxPreproc: one preprocessor of a profile (XML element "Prep"); owned by that profile alone.
#include "model/BaseReferable.h"
#include "model/XmlGenerator.h"

#include <cstdint>
#include <string>

namespace quillon {

class CVdxPreproc : public CBaseReferable, public CXmlGenerator {
public:
    CVdxPreproc() = default;
    CVdxPreproc(std::string name, std::string uid)
        : m_name(std::move(name)), m_uid(std::move(uid)) {}

    // The preprocessor's item key.
    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    // Its identifier in the translation system ("UID").
    const std::string& GetUID() const { return m_uid; }
    void SetUID(std::string uid) { m_uid = std::move(uid); }
    // "Preproc." + key of the profile section.
    std::int32_t GetMask() const { return m_mask; }
    void SetMask(std::int32_t mask) { m_mask = mask; }
    // 0-based position within the profile, in reading order.
    std::int16_t GetIndex() const { return m_index; }
    void SetIndex(std::int16_t index) { m_index = index; }

    // "Prep": Name, UID, Mask, idx.
    std::string GetXmlBody() const override;
    std::string GetXmlTag() const override { return "Prep"; }

private:
    std::string m_name;
    std::string m_uid;
    std::int32_t m_mask = 0;
    std::int16_t m_index = 0;
};

} // namespace quillon
