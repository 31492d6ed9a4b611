#pragma once
// ObjectFactory for this platform: classes registered in the registry under
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 are served by the shared library its default value
// names (loaded with dlopen by full path, never searched for); classes registered in-process
// (tests, the reference product's own tools) are served by their creator.
#include "platform/ObjectFactory.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace quillon::posix {

class LibraryObjectFactory : public ObjectFactory {
public:
    using Creator = std::function<std::shared_ptr<ComObject>()>;

    std::shared_ptr<ComObject> CreateInstance(std::string_view clsid, ServerContext context) override;

    // In-process classes take precedence over the registry. A creator may throw ComError.
    void RegisterInProcess(std::string_view clsid, Creator creator);
    void UnregisterInProcess(std::string_view clsid);

private:
    std::mutex mutex_;
    std::map<std::string, Creator> inProcess_;   // by upper-case clsid
    std::map<std::string, void*> libraries_;     // loaded libraries by path
};

} // namespace quillon::posix
