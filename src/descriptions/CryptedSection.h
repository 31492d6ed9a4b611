#pragma once
// A section of a profile store: its entries by name, each an owned CProfileValue. The wide
// section hashes names over UTF-16 code units, the narrow twin over Windows-1251 bytes.
#include "descriptions/ProfileHashMap.h"
#include "descriptions/ProfileValue.h"

#include <cstdint>

namespace quillon {

class CCryptedSection : public CProfileHashMap<CProfileValue> {
public:
    virtual ~CCryptedSection() = default;

    std::int32_t EntryCount() const { return static_cast<std::int32_t>(Size()); }

protected:
    explicit CCryptedSection(TextForm form) : CProfileHashMap<CProfileValue>(form) {}
};

class CCryptedSectionW2 final : public CCryptedSection {
public:
    CCryptedSectionW2() : CCryptedSection(TextForm::Wide) {}
};

class CCryptedSectionA2 final : public CCryptedSection {
public:
    CCryptedSectionA2() : CCryptedSection(TextForm::Narrow) {}
};

} // namespace quillon
