#pragma once
// The entry point a product's service library exports. The object factory loads the library
// registered for a class (HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32, default value = full
// path of the library) and calls:
//
//   extern "C" int32_t QuillonGetClassObject(const char* clsid, quillon::ComObject** object);
//
// It answers S_OK with a new object (owned by the caller, deleted through its virtual
// destructor) or a failure HRESULT (CLASS_E_CLASSNOTAVAILABLE for a class it does not serve).
// The library stays loaded for the life of the process.
#include "product/ComObject.h"

#include <cstdint>

namespace quillon {

using GetClassObjectFunction = std::int32_t (*)(const char* clsid, ComObject** object);
inline constexpr const char* kGetClassObjectSymbol = "QuillonGetClassObject";

} // namespace quillon
