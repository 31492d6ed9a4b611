#include "platform/posix/LibraryObjectFactory.h"

#include "platform/Ports.h"
#include "product/ComError.h"
#include "product/ServiceLibrary.h"
#include "support/Text.h"

#include <algorithm>
#include <dlfcn.h>

namespace quillon::posix {
namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
    return out;
}

} // namespace

void LibraryObjectFactory::RegisterInProcess(std::string_view clsid, Creator creator) {
    std::lock_guard lock(mutex_);
    inProcess_[Upper(clsid)] = std::move(creator);
}

void LibraryObjectFactory::UnregisterInProcess(std::string_view clsid) {
    std::lock_guard lock(mutex_);
    inProcess_.erase(Upper(clsid));
}

std::shared_ptr<ComObject> LibraryObjectFactory::CreateInstance(std::string_view clsid, ServerContext) {
    Creator creator;
    {
        std::lock_guard lock(mutex_);
        if (auto it = inProcess_.find(Upper(clsid)); it != inProcess_.end())
            creator = it->second;
    }
    if (creator) {
        auto object = creator();
        if (!object)
            throw ComError(CLASS_E_CLASSNOTAVAILABLE, "class " + std::string(clsid) + " is not available");
        return object;
    }

    RegistryValue value;
    const std::string key = "CLSID\\" + std::string(clsid) + "\\InprocServer32";
    if (Registry().QueryValue(RegistryRoot::ClassesRoot, key, "", value) != regerr::Success)
        throw ComError(REGDB_E_CLASSNOTREG, "class " + std::string(clsid) + " is not registered");
    const std::string path = Utf16LeBytesToUtf8(value.data.data(), value.data.size());
    if (path.empty() || path.front() != '/')
        throw ComError(REGDB_E_CLASSNOTREG, "class " + std::string(clsid) + " names no library by full path");

    void* handle = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (auto it = libraries_.find(path); it != libraries_.end()) {
            handle = it->second;
        } else {
            handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                const char* why = ::dlerror();
                throw ComError(CO_E_DLLNOTFOUND, "cannot load " + path + ": " + (why ? why : "unknown error"));
            }
            libraries_[path] = handle;
        }
    }
    auto entry = reinterpret_cast<GetClassObjectFunction>(::dlsym(handle, kGetClassObjectSymbol));
    if (!entry)
        throw ComError(CO_E_ERRORINDLL, path + " has no entry point " + kGetClassObjectSymbol);
    ComObject* raw = nullptr;
    const HRESULT hr = entry(std::string(clsid).c_str(), &raw);
    std::shared_ptr<ComObject> object(raw);
    if (Failed(hr))
        throw ComError(hr, path + " cannot create class " + std::string(clsid) + " (" + HResultText(hr) + ")");
    if (!object)
        throw ComError(E_POINTER, path + " answered no object for class " + std::string(clsid));
    return object;
}

} // namespace quillon::posix
