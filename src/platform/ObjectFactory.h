#pragma once
// Port: object creation by class id (COM's CoCreateInstance / CoGetClassObject).
// Implemented by posix::LibraryObjectFactory (classes registered in the hive, served by shared
// libraries); tests register in-process creators on the same factory.
#include "product/ComObject.h"

#include <memory>
#include <string_view>

namespace quillon {

// Where an object may live; this platform serves in-process objects only, but callers say
// what they would accept, as they do on Windows.
enum class ServerContext { InProcess, LocalServer, Any };

class ObjectFactory {
public:
    virtual ~ObjectFactory() = default;
    // Creates the object of class `clsid` (registry form "{...}"). Throws ComError:
    // REGDB_E_CLASSNOTREG when the class is not registered, CO_E_DLLNOTFOUND when its library
    // cannot be loaded, CO_E_ERRORINDLL when the library lacks the entry point, or the failure
    // the library reported.
    virtual std::shared_ptr<ComObject> CreateInstance(std::string_view clsid, ServerContext context) = 0;
};

} // namespace quillon
