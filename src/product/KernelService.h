#pragma once
// The product's translation kernel service (implemented by the product; refproduct's
// RefKernelService here). Every operation answers an HRESULT status and fills its out values
// only on success. A service may also raise a ComError carrying its own description; callers
// guard every service step for both.
#include "product/ComObject.h"
#include "product/HResult.h"

#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

class DictFile;

// The login interface of the kernel object. Every user first calls Login(1, "RAVIRI", 1);
// a negative status means the instance is unusable.
class KernelLogin : public virtual ComObject {
public:
    virtual HRESULT Login(std::int32_t client, const std::string& product, std::int32_t mode) = 0;
};

// What a kernel call that runs long reports to the installer instead of a window handle
// ("Morvel_ProgressMessage"): position of range; the answer 1 asks the kernel to stop.
class ProgressReceiver {
public:
    virtual ~ProgressReceiver() = default;
    virtual int OnProgressMessage(std::uint32_t position, std::uint32_t range) = 0;
};

// An installed dictionary as OpenDictionary answers it.
class KernelDictionary : public virtual ComObject {
public:
    virtual HRESULT GetName(std::string& name) = 0;           // internal name
    virtual HRESULT GetFormatVersion(std::int32_t& version) = 0;
};

class KernelService : public virtual ComObject {
public:
    // Directions the kernel supports.
    virtual HRESULT GetDirectionCount(std::uint16_t& count) = 0;
    virtual HRESULT GetDirection(std::int32_t index, std::uint32_t& directionId, std::string& name) = 0;
    virtual HRESULT GetDirectionPath(std::uint32_t directionId, std::string& path) = 0;

    // The dictionary catalogue; ask it for KernelDictionaries (it may not offer it).
    virtual HRESULT GetCatalogue(std::shared_ptr<ComObject>& catalogue) = 0;

    // Dictionaries: `path` is a dictionary file outside the kernel (the unpacked copy).
    virtual HRESULT OpenDictionary(const std::string& path, std::shared_ptr<KernelDictionary>& dictionary) = 0;
    // GUID in registry form with braces.
    virtual HRESULT GetDictionaryInfo(const std::string& path, std::string& guid, std::uint32_t& directionId) = 0;
    virtual HRESULT GetDictionaryValue(const std::string& name, std::int64_t& value) = 0;
    virtual HRESULT SetDictionaryValue(const std::string& name, const std::string& text, std::int64_t value) = 0;
    // KLDO_E_LOCKED, KLDO_E_DICT_EXISTS, KLDO_E_CONVERTER, or another failure.
    virtual HRESULT ImportDictionary(const std::string& path, std::uint32_t directionId, std::int32_t flags,
                                     ProgressReceiver* progress) = 0;
    virtual HRESULT DeleteDictionary(const std::string& path, std::uint32_t directionId) = 0;

    // TM bases and profiles: `xml` is the object's XML description; `replaceMode` 1 replace,
    // 0 skip, 2 ask. The result text of InstallBaseTM carries "<UID>...</UID>".
    virtual HRESULT InstallBaseTM(const std::string& sourcePath, std::int32_t flags, const std::string& xml,
                                  std::int32_t replaceMode, std::string& result) = 0;
    virtual HRESULT InstallProfile(const std::string& xml, std::int32_t replaceMode, std::string& result) = 0;

    // Installed collections (translation profiles) per direction.
    virtual HRESULT GetCollectionCount(std::uint32_t directionId, std::uint16_t& count) = 0;
    virtual HRESULT GetCollectionName(std::uint32_t directionId, std::uint16_t index, std::string& name) = 0;
    // 0 = list it.
    virtual HRESULT GetCollectionState(std::uint32_t directionId, std::uint16_t index, std::int32_t& state) = 0;
    virtual HRESULT RemoveCollection(std::uint32_t directionId, std::uint16_t index) = 0;
    virtual HRESULT RemoveDirectionCollections(std::uint32_t directionId) = 0;
    virtual HRESULT RemoveAllCollections() = 0;
};

// The catalogue's dictionaries by direction (the interface GetCatalogue's object may offer).
class CatalogueDirection : public virtual ComObject {
public:
    // key -1 is the direction's general dictionary.
    virtual HRESULT GetDictionary(std::int16_t key, std::shared_ptr<DictFile>& file) = 0;
};

class KernelDictionaries : public virtual ComObject {
public:
    virtual HRESULT GetDirection(std::uint32_t directionId, std::shared_ptr<CatalogueDirection>& direction) = 0;
};

} // namespace quillon
