#pragma once
// Port: the machine's registry. Implemented by posix::HiveRegistry (a hive file) and by
// MemoryRegistry in tests. Keys are paths below a root, '\'-separated, matched without regard
// to case. Every call answers a Windows error code (0 = success); nothing throws.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot };

// Value types with their Windows numbers (REG_SZ = 1, ...).
enum class RegistryType : std::uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    MultiString = 7,
    Qword = 11,
};

// A value as Windows stores it: strings are UTF-16LE bytes with their terminator.
struct RegistryValue {
    std::uint32_t type = static_cast<std::uint32_t>(RegistryType::None);
    std::vector<std::uint8_t> data;

    static RegistryValue String(std::string_view utf8);
    static RegistryValue Dword(std::uint32_t value);
    static RegistryValue Binary(std::vector<std::uint8_t> bytes);
    bool operator==(const RegistryValue&) const = default;
};

namespace regerr {
constexpr long Success = 0;
constexpr long FileNotFound = 2;   // no such key or value
constexpr long AccessDenied = 5;   // the hive cannot be written
constexpr long InvalidData = 13;
constexpr long InvalidParameter = 87; // a key or value name beyond the hive's bounds
constexpr long BadDb = 1009;       // the hive file is malformed
constexpr long NoMoreItems = 259;  // enumeration past the last subkey
} // namespace regerr

class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    // Success when the key exists; with `create`, missing keys along the path are created.
    virtual long OpenKey(RegistryRoot root, std::string_view path, bool create) = 0;
    virtual long QueryValue(RegistryRoot root, std::string_view path, std::string_view name,
                            RegistryValue& out) = 0;
    // Subkeys are enumerated in case-insensitive name order, as Windows does.
    virtual long EnumSubkey(RegistryRoot root, std::string_view path, std::uint32_t index,
                            std::string& name) = 0;
    // Creates the key when missing.
    virtual long SetValue(RegistryRoot root, std::string_view path, std::string_view name,
                          const RegistryValue& value) = 0;
    virtual long DeleteValue(RegistryRoot root, std::string_view path, std::string_view name) = 0;
    // Deletes the key with all its subkeys.
    virtual long DeleteKey(RegistryRoot root, std::string_view path) = 0;
};

} // namespace quillon
