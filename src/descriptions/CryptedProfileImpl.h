#pragma once
// The two implementations of a profile store: CXCryptedProfileW2 keeps names and texts as
// read (the installer's choice); its narrow twin CXCryptedProfileA2 keeps them as they survive
// the Windows-1251 code page (characters without a code become '?') and takes every argument
// through the same conversion, so both answer the same queries in their own text form.
// Texts are UTF-8 in both.
#include "descriptions/CryptedSection.h"
#include "descriptions/ProfileContainer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

class CCryptedProfileImpl : public CProfileHashMap<CCryptedSection> {
public:
    virtual ~CCryptedProfileImpl() = default;

    // Fills an empty store from a decoded record stream. Answers None, or the reason; on
    // failure the store holds whatever was read before the fault (the caller discards it).
    ProfileLoadError ReadStream(const std::uint8_t* data, std::size_t size);

    // A text in this store's form (identity for the wide store).
    std::string Adapt(std::string_view text) const;

    // Appends a section (a new node even when the name exists); answers it.
    CCryptedSection& AddSection(std::string_view name);

    std::int32_t SectionCount() const { return static_cast<std::int32_t>(Size()); }
    const CCryptedSection* FindSection(std::string_view name) const;
    const CProfileValue* FindValue(std::string_view section, std::string_view name) const;

    const std::string& SourcePath() const { return sourcePath_; }
    void SetSourcePath(std::string path) { sourcePath_ = std::move(path); }

protected:
    explicit CCryptedProfileImpl(TextForm form) : CProfileHashMap<CCryptedSection>(form) {}

private:
    std::string sourcePath_;
};

class CXCryptedProfileW2 final : public CCryptedProfileImpl {
public:
    CXCryptedProfileW2() : CCryptedProfileImpl(TextForm::Wide) {}
};

class CXCryptedProfileA2 final : public CCryptedProfileImpl {
public:
    CXCryptedProfileA2() : CCryptedProfileImpl(TextForm::Narrow) {}
};

} // namespace quillon
