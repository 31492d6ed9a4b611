#pragma once
// CVdxCollectionItem: the common part of profiles, dictionaries and TM bases.
#include "model/BaseReferable.h"

#include <cstdint>
#include <string>

namespace quillon {

using DirectionId = std::uint32_t;

class CVdxCollectionItem : public CBaseReferable {
public:
    // Counts bytes for one disk-space counting pass: the item's size the first time it meets
    // `pass`, 0 when it has already been counted in that pass. (Profiles add their dictionaries
    // and TM bases, so an item shared by several profiles counts once per pass.)
    virtual std::int64_t CountSize(std::uint32_t pass);

    // Bytes the item occupies when installed ("Size").
    std::int64_t GetSize() const { return m_size; }
    void SetSize(std::int64_t size) { m_size = size; }
    // Path relative to the distribution root ("NameOnCD").
    const std::string& GetFileNameOnCD() const { return m_fileNameOnCD; }
    void SetFileNameOnCD(std::string name) { m_fileNameOnCD = std::move(name); }
    // The item key; for dictionaries and TM bases also the installed file name (XML "File").
    const std::string& GetKey() const { return m_key; }
    void SetKey(std::string key) { m_key = std::move(key); }
    // 0 when the item has no valid direction (XML "DirID").
    DirectionId GetDirID() const { return m_dirId; }
    void SetDirID(DirectionId id) { m_dirId = id; }
    // The direction is installed in the translation system.
    bool IsSupported() const { return m_supported; }
    void SetSupported(bool supported) { m_supported = supported; }
    // "Name." entry (XML "Name").
    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    // Display title built by the loader (XML "FullName").
    const std::string& GetFullName() const { return m_fullName; }
    void SetFullName(std::string name) { m_fullName = std::move(name); }
    // To be installed.
    bool IsSelected() const { return m_selected; }
    void SetSelected(bool selected) { m_selected = selected; }
    // The last counting pass that counted this item; 0 at construction.
    std::uint32_t GetCountingPass() const { return m_countingPass; }

protected:
    CVdxCollectionItem() = default;
    // The XML body shared by dictionaries and TM bases: UID, DirID, Name, File (the key),
    // FullName.
    std::string GetStoredItemXmlBody(const std::string& uid) const;

private:
    std::int64_t m_size = 0;
    std::string m_fileNameOnCD;
    std::string m_key;
    DirectionId m_dirId = 0;
    bool m_supported = false;
    std::string m_name;
    std::string m_fullName;
    bool m_selected = false;
    std::uint32_t m_countingPass = 0;
};

// Starts a new disk-space counting pass: increases the process-wide pass number by 1 and
// answers it (the first pass is 1; 0 never is one, so a fresh item is always counted).
std::uint32_t NextCountingPass();

} // namespace quillon
