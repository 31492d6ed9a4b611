#pragma once
// The product services the installer uses at start-up (implemented by the product; refproduct
// answers them from its configuration in the hive).
#include "product/ComObject.h"
#include "product/HResult.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// The product's application helper: runs its applications and reports errors to the user.
class AppHelperService : public virtual ComObject {
public:
    virtual HRESULT SetCaption(const std::string& caption) = 0;
    // S_FALSE: the product took over (start-up ends).
    virtual HRESULT RunApplication(const std::string& path, const std::string& arguments) = 0;
    // `answer` nonzero: the caller should also call ShowError.
    virtual HRESULT ReportError(HRESULT code, const std::string& title, std::int32_t options, std::int32_t& answer) = 0;
    virtual HRESULT ShowError(HRESULT code, const std::string& title) = 0;
    virtual HRESULT SetMode(std::int32_t mode, std::int32_t flags) = 0;
    // S_OK: go on; anything else: the service has told the user why not.
    virtual HRESULT CheckResult(HRESULT code, const std::string& title) = 0;
};

class KernelCatalogueEntry : public virtual ComObject {
public:
    virtual HRESULT GetItemValue(std::string& value) = 0;
};

// The kernel's catalogue of products, probed at start-up.
class KernelCatalogService : public virtual ComObject {
public:
    virtual HRESULT OpenCatalogue(const std::string& name, const std::string& text, std::int32_t options) = 0;
    virtual HRESULT GetCount(std::uint16_t& count) = 0;
    virtual HRESULT GetItem(std::int32_t index, std::shared_ptr<KernelCatalogueEntry>& entry) = 0;
};

// The product's settings: S_OK from GetStatus means the installer may run in this process.
class ProductSettingsService : public virtual ComObject {
public:
    virtual HRESULT GetStatus() = 0;
    virtual HRESULT GetEntries(std::vector<std::string>& names) = 0;
};

} // namespace quillon
