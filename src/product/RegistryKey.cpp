#include "product/RegistryKey.h"

#include "platform/Ports.h"
#include "support/Text.h"

namespace quillon {

bool CRegistryKey::Open(RegistryRoot root, const std::string& path, std::uint32_t) {
    Close();
    lastResult_ = Registry().OpenKey(root, path, false);
    if (lastResult_ != regerr::Success)
        return false;
    path_ = path;
    root_ = root;
    open_ = true;
    index_ = -1;
    return true;
}

std::unique_ptr<CRegistryKey> CRegistryKey::OpenChild(const std::string& name) {
    if (!open_)
        return nullptr;
    std::string childPath = path_;
    if (!childPath.empty() && childPath.back() != '\\')
        childPath += '\\';
    childPath += name;
    lastResult_ = Registry().OpenKey(root_, childPath, true);
    if (lastResult_ != regerr::Success)
        return nullptr;
    auto child = std::make_unique<CRegistryKey>();
    if (!child->Open(root_, childPath, KEY_ALL_ACCESS))
        return nullptr;
    return child;
}

std::string CRegistryKey::GetString(const std::string& name, const std::string& def) {
    if (!open_)
        return def;
    RegistryValue value;
    lastResult_ = Registry().QueryValue(root_, path_, name, value);
    if (lastResult_ != regerr::Success || value.data.empty())
        return def;
    return Utf16LeBytesToUtf8(value.data.data(), value.data.size());
}

std::uint32_t CRegistryKey::GetDword(const std::string& name, std::uint32_t def) {
    if (!open_)
        return def;
    RegistryValue value;
    lastResult_ = Registry().QueryValue(root_, path_, name, value);
    if (lastResult_ != regerr::Success || value.data.empty() || value.data.size() > 4)
        return def;
    std::uint32_t result = 0;
    for (std::size_t i = 0; i < value.data.size(); ++i)
        result |= static_cast<std::uint32_t>(value.data[i]) << (8 * i);
    return result;
}

bool CRegistryKey::NextSubkeyName(std::string& name) {
    if (!open_ || index_ < 0)
        return false;
    lastResult_ = Registry().EnumSubkey(root_, path_, static_cast<std::uint32_t>(index_), name);
    if (lastResult_ != regerr::Success)
        return false;
    ++index_;
    return true;
}

void CRegistryKey::Close() {
    open_ = false;
    path_.clear();
    index_ = -1;
}

} // namespace quillon
