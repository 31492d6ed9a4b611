#pragma once
// Class ids of the product's services: the configuration both sides agree on. A product
// registers its library for each under HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32.
#include <string_view>

namespace quillon::clsid {

inline constexpr std::string_view KernelService = "{6D1E8A40-3C2B-4F1A-9E57-2B8C0D4A7F11}";
inline constexpr std::string_view DictFileService = "{6D1E8A41-3C2B-4F1A-9E57-2B8C0D4A7F11}";
inline constexpr std::string_view AppHelperService = "{6D1E8A42-3C2B-4F1A-9E57-2B8C0D4A7F11}";
inline constexpr std::string_view KernelCatalogService = "{6D1E8A43-3C2B-4F1A-9E57-2B8C0D4A7F11}";
inline constexpr std::string_view ProductSettingsService = "{6D1E8A44-3C2B-4F1A-9E57-2B8C0D4A7F11}";

} // namespace quillon::clsid
