#pragma once
// CXCryptedProfile2: the profile store through which description files (RAVIRI.INF,
// SETUP.INI) are read. Two levels, sections of typed entries (see ProfileValue.h), held by a
// wide (CXCryptedProfileW2) or narrow (CXCryptedProfileA2) implementation.
//
// Index order (every *At / *Name(index) query) walks 17 hash buckets from bucket 0 and each
// bucket's chain from its head, the latest added name first; it is stable while the store is
// unchanged and is not the order of the file. Names compare exactly and case-sensitively; when
// a name occurs more than once, lookups answer the first in index order (the one read last).
//
// Missing sections or entries never fail: every getter answers its neutral result.
#include "descriptions/CryptedProfileImpl.h"
#include "descriptions/ProfileContainer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

class CXCryptedProfile2 {
public:
    // Non-zero: the wide implementation (what the installer uses); zero: the narrow one.
    explicit CXCryptedProfile2(int wide = 1);
    virtual ~CXCryptedProfile2();
    CXCryptedProfile2(const CXCryptedProfile2&) = delete;
    CXCryptedProfile2& operator=(const CXCryptedProfile2&) = delete;
    CXCryptedProfile2(CXCryptedProfile2&&) noexcept = default;
    CXCryptedProfile2& operator=(CXCryptedProfile2&&) noexcept = default;

    // Loads a profile file (container and record stream, see ProfileContainer.h). Answers 1 and
    // sets the source path; answers 0 when nothing exists at `path`, it is a folder, it cannot be
    // read, or its content is not a sound profile file (LastError says which). A failed load
    // leaves the store empty. A store is loaded once: a second Load, or a Load into a store
    // already built by AddSection/AddEntry, answers 0 (AlreadyLoaded) and changes nothing.
    bool Load(const std::string& path);
    // The same from a whole file image in memory; `sourcePath` becomes the source path.
    bool LoadImage(const std::uint8_t* data, std::size_t size, std::string sourcePath = {});
    ProfileLoadError LastError() const { return lastError_; }
    // The path given to a successful Load; empty before.
    const std::string& SourcePath() const;

    // Queries. Names and texts are UTF-8.
    std::int32_t GetSectionCount() const;
    // 0 when the section does not exist.
    std::int32_t GetEntryCount(std::string_view section) const;
    // Empty when index is negative or past the end.
    std::string GetSectionName(std::int32_t index) const;
    // Empty when the section is missing or the index is out of range.
    std::string GetEntryName(std::string_view section, std::int32_t index) const;
    // The type code ('B', 'H', 'I', 'S'), or 0 when the section or entry does not exist.
    char GetEntryTypeAt(std::string_view section, std::int32_t index) const;
    char GetEntryType(std::string_view section, std::string_view name) const;
    // The value of an 'I' or 'B' entry; `defaultValue` when it is missing or of another type.
    std::int32_t GetInt(std::string_view section, std::string_view name,
                        std::int32_t defaultValue) const;
    // The text of an 'S' entry; empty when it is missing or of another type.
    std::string GetString(std::string_view section, std::string_view name) const;
    // 1 when an 'I' or 'B' entry is non-zero; 0 otherwise (missing, zero, another type).
    int GetBool(std::string_view section, std::string_view name) const;
    // The value itself (any type, 'H' bytes included); null when missing.
    const CProfileValue* FindValue(std::string_view section, std::string_view name) const;

    // Building a store (the authoring tool, tests). AddSection always appends a new section;
    // AddEntry appends an entry to the section `section` finds (creating it when missing).
    // Texts are cut at a NUL; in the narrow store they pass through Windows-1251.
    void AddSection(std::string_view name);
    void AddEntry(std::string_view section, std::string_view name, const CProfileValue& value);

    // The implementation held (never null): the writer and the tools walk it.
    const CCryptedProfileImpl& Implementation() const;
    bool IsWide() const { return wide_ != nullptr; }

private:
    CCryptedProfileImpl& Impl();
    std::unique_ptr<CXCryptedProfileA2> narrow_;
    std::unique_ptr<CXCryptedProfileW2> wide_;
    bool loaded_ = false;
    ProfileLoadError lastError_ = ProfileLoadError::None;
};

} // namespace quillon
