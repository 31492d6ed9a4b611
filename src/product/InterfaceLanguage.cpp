#include "product/InterfaceLanguage.h"

#include "product/Paths.h"
#include "product/RegistryKey.h"

namespace quillon {
namespace {

constexpr const char* kProductKey = "SOFTWARE\\Velmar Soft\\KLDO9";
constexpr const char* kFoldersKey = "SOFTWARE\\Velmar Soft\\KLDO9\\Folders";

} // namespace

std::uint32_t GetInterfaceLanguageId() {
    CRegistryKey key;
    if (!key.Open(RegistryRoot::LocalMachine, kProductKey))
        return 0;
    return key.GetDword("KldoLangID", 0);
}

std::string LanguageCode(std::uint32_t languageId) {
    switch (languageId & 0x3FF) {
    case 0x07: return "DEU";
    case 0x09: return "ENU";
    case 0x0A: return "ESN";
    case 0x0C: return "FRA";
    case 0x16: return "PTB";
    case 0x19: return "RUS";
    case 0x22: return "UKR";
    case 0x27: return "LTH";
    default: return {};
    }
}

std::string GetResourceLibraryName(const std::string& baseName) {
    const std::uint32_t language = GetInterfaceLanguageId();
    const std::string code = language ? LanguageCode(language) : std::string();
    return code.empty() ? std::string() : baseName + "Res" + code + ".qm";
}

std::string FindResourceLibrary(const std::string& baseName, const std::string& folder) {
    const std::string name = GetResourceLibraryName(baseName);
    if (name.empty())
        return {};
    std::string path = folder;
    if (path.empty()) {
        CRegistryKey key;
        if (!key.Open(RegistryRoot::LocalMachine, kFoldersKey))
            return {};
        path = key.GetString("SharedRoot");
        const std::uint32_t language = GetInterfaceLanguageId();
        if (path.empty() || language == 0)
            return {};
        AppendPath(path, std::to_string(language));
    }
    AppendPath(path, name);
    return path;
}

std::string LoadInterfaceResources(const std::string& baseName, const std::string& moduleFile,
                                   ResourceLibraryLoader& loader) {
    const auto slash = moduleFile.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : moduleFile.substr(0, slash + 1);
    std::string base = baseName.empty() ? moduleFile.substr(slash == std::string::npos ? 0 : slash + 1) : baseName;
    if (const auto dot = base.find_last_of('.'); dot != std::string::npos && dot > 0)
        base.erase(dot);
    if (folder.empty())
        return {}; // no module folder: nothing to look beside
    const std::string local = FindResourceLibrary(base, folder);
    if (local.empty())
        return {};
    if (loader.Load(local))
        return local;
    const std::string shared = FindResourceLibrary(base, {});
    if (!shared.empty() && loader.Load(shared))
        return shared;
    return {};
}

} // namespace quillon
