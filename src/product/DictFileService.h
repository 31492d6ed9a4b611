#pragma once
// The product's dictionary-file service (in-process): opens a dictionary file and exposes its
// link attributes, named properties and header block. Implemented by the product
// (refproduct's RefDictFileService). Writes take effect when the call returns.
#include "product/ComObject.h"
#include "product/HResult.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// The property set of a dictionary file (files of format version 2 and later have one).
class DictPropertySet : public virtual ComObject {
public:
    virtual HRESULT GetVersion(std::int32_t& version) = 0;
    // Named properties: (name, byte length, bytes). KLDO_E_CANNOT_OPEN-style failures when the
    // property is missing are the product's choice; callers treat any failure as "none".
    virtual HRESULT GetProperty(const std::string& name, std::vector<std::uint8_t>& bytes) = 0;
    virtual HRESULT SetProperty(const std::string& name, const std::vector<std::uint8_t>& bytes) = 0;
};

class DictFile : public virtual ComObject {
public:
    virtual HRESULT GetLinkNumber(std::int32_t& value) = 0;
    virtual HRESULT SetLinkNumber(std::int32_t value) = 0;
    virtual HRESULT GetLinkCode(std::uint8_t& value) = 0;
    virtual HRESULT SetLinkCode(std::uint8_t value) = 0;
    virtual HRESULT GetFormatLevel(std::int32_t& value) = 0;
    virtual HRESULT SetFormatLevel(std::int32_t value) = 0;
    // S_FALSE and no object when the file has no property set.
    virtual HRESULT GetPropertySet(std::shared_ptr<DictPropertySet>& properties) = 0;
    // The header block; its 16-byte title field starts at offset 6.
    virtual HRESULT ReadHeader(std::vector<std::uint8_t>& block) = 0;
    virtual HRESULT WriteHeader(const std::vector<std::uint8_t>& block) = 0;
};

// The class object: opens a file given in the system ANSI code page (a byte path here).
class DictFileService : public virtual ComObject {
public:
    virtual HRESULT Open(const std::string& ansiPath, std::shared_ptr<DictFile>& file) = 0;
};

} // namespace quillon
