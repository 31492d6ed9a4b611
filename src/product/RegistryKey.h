#pragma once
// CRegistryKey: one open registry key, read through the registry port. Every operation reports
// failure by its result (false, null, or the caller's default) and keeps the code of the last
// registry call; nothing throws.
#include "platform/RegistryStore.h"

#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

inline constexpr std::uint32_t KEY_READ = 0x20019;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

class CRegistryKey {
public:
    CRegistryKey() = default;
    ~CRegistryKey() { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Closes what was open, then opens `path` below `root` without creating it.
    bool Open(RegistryRoot root, const std::string& path, std::uint32_t access = KEY_READ);
    // The subkey `name`, created when missing; null on failure (also when this key is closed).
    std::unique_ptr<CRegistryKey> OpenChild(const std::string& name);
    // The text of value `name`; `def` when it is missing, empty (size 0) or unreadable.
    std::string GetString(const std::string& name, const std::string& def = {});
    // The value as an unsigned 32-bit number; a byte string of 1 to 4 bytes is read little-endian;
    // longer ones, missing values and failures give `def`.
    std::uint32_t GetDword(const std::string& name, std::uint32_t def = 0);
    // Subkey enumeration: StartSubkeys once, then NextSubkeyName until it answers false.
    void StartSubkeys() { index_ = 0; }
    bool NextSubkeyName(std::string& name);
    void Close();

    bool IsOpen() const { return open_; }
    const std::string& Path() const { return path_; }
    RegistryRoot Root() const { return root_; }
    long LastResult() const { return lastResult_; }
    std::int32_t SubkeyIndex() const { return index_; }

private:
    std::string path_;
    bool open_ = false;
    RegistryRoot root_ = RegistryRoot::LocalMachine;
    long lastResult_ = 0;
    std::int32_t index_ = -1;
};

} // namespace quillon
