#pragma once
// CVdxAlgo: one algorithm setting of a profile, a name and its value (XML element "Algo");
// owned by that profile alone.
#include "model/BaseReferable.h"
#include "model/XmlGenerator.h"

#include <string>

namespace quillon {

class CVdxAlgo : public CBaseReferable, public CXmlGenerator {
public:
    CVdxAlgo() = default;
    CVdxAlgo(std::string name, std::string value)
        : m_name(std::move(name)), m_value(std::move(value)) {}

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    const std::string& GetValue() const { return m_value; }
    void SetValue(std::string value) { m_value = std::move(value); }

    // "Algo": Name, value.
    std::string GetXmlBody() const override;
    std::string GetXmlTag() const override { return "Algo"; }

private:
    std::string m_name;
    std::string m_value;
};

} // namespace quillon
