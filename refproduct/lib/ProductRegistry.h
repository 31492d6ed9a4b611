#pragma once
// Where the reference product lives in the hive, and the hive values it answers from.
//
//   HKLM\SOFTWARE\Velmar Soft\KLDO9              "KldoLangID"
//   HKLM\SOFTWARE\Velmar Soft\KLDO9\Folders      "SharedRoot"
//   HKLM\SOFTWARE\Velmar Soft\KLDO9\Reference    "Root" (the product root) and the product
//                                                configuration (docs/kaldo-product.md)
//   HKLM\SOFTWARE\Velmar Soft\KLDO9\Reference\Faults   fault injection (docs/refproduct-faults.md)
//   HKLM\SOFTWARE\Velmar Soft\Zozedi9\Directions "Path"; one subkey per direction: "DirID", "Prefix"
//   HKLM\Software\Velmar Soft\KLDO9\Apps         "Morvel"
//   HKCR\CLSID\{...}\InprocServer32              default value: the service library
#include "platform/RegistryStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kaldo {

inline constexpr const char* kProductKey = "SOFTWARE\\Velmar Soft\\KLDO9";
inline constexpr const char* kFoldersKey = "SOFTWARE\\Velmar Soft\\KLDO9\\Folders";
inline constexpr const char* kReferenceKey = "SOFTWARE\\Velmar Soft\\KLDO9\\Reference";
inline constexpr const char* kFaultsKey = "SOFTWARE\\Velmar Soft\\KLDO9\\Reference\\Faults";
inline constexpr const char* kDirectionsKey = "SOFTWARE\\Velmar Soft\\Zozedi9\\Directions";
inline constexpr const char* kAppsKey = "Software\\Velmar Soft\\KLDO9\\Apps";

// Reads a string / DWORD value; nothing when missing or of another type.
std::optional<std::string> ReadString(quillon::RegistryStore& hive, quillon::RegistryRoot root,
                                      std::string_view key, std::string_view name);
std::optional<std::uint32_t> ReadDword(quillon::RegistryStore& hive, quillon::RegistryRoot root,
                                       std::string_view key, std::string_view name);

// A number written as "0x800F0015", "-1" or "42"; nothing when the text is not a number.
std::optional<std::int64_t> ParseNumber(std::string_view text);

// The fault planned for `operation`: when the hive holds "<hresult> <count>" (count >= 1) under
// Faults, the count is decreased (the value deleted when it reaches 0) in one locked hive write
// and the HRESULT answered. Several processes share the count through the hive. A fault whose
// count cannot be taken (the hive cannot be written) does not fire.
std::optional<std::int32_t> TakeFault(const std::string& hivePath, std::string_view operation);
// Plans a fault (count 0 removes it). False when the hive cannot be written, with the reason in
// `error` when given.
bool PlanFault(const std::string& hivePath, std::string_view operation, std::int32_t status, std::uint32_t count,
               std::string* error = nullptr);

} // namespace kaldo
