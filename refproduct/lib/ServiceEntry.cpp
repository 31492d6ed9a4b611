// The library's entry point: the class factory calls it for each of the product's classes.
#include "Product.h"
#include "RefDictFileService.h"
#include "RefKernelService.h"
#include "RefStartupServices.h"
#include "product/ServiceIds.h"
#include "product/ServiceLibrary.h"
#include "support/Text.h"

namespace {

using namespace quillon;

// A planned fault under "Create.<Service>" makes the class unavailable.
HRESULT Create(std::string_view clsid, ComObject*& object) {
    const kaldo::ServiceContext context = kaldo::ServiceContext::FromEnvironment();
    auto is = [&](std::string_view id) { return EqualsNoCase(clsid, id); };
    auto fault = [&](const char* name) -> std::optional<HRESULT> {
        kaldo::JournalRecord r(std::string("Create.") + name);
        if (auto f = context.Fault(r.Operation()))
            return context.Record(r.Out("injected", std::int64_t(1)), *f);
        return std::nullopt;
    };
    if (is(clsid::KernelService)) {
        if (auto f = fault("KernelService"))
            return *f;
        std::string error;
        auto product = kaldo::Product::OpenFromHive(context.HivePath(), error);
        if (!product)
            return E_FAIL;
        object = new kaldo::RefKernelService(context, std::move(product));
    } else if (is(clsid::DictFileService)) {
        if (auto f = fault("DictFileService"))
            return *f;
        object = new kaldo::RefDictFileService(context);
    } else if (is(clsid::AppHelperService)) {
        if (auto f = fault("AppHelperService"))
            return *f;
        object = new kaldo::RefAppHelperService(context);
    } else if (is(clsid::KernelCatalogService)) {
        if (auto f = fault("KernelCatalogService"))
            return *f;
        object = new kaldo::RefKernelCatalogService(context);
    } else if (is(clsid::ProductSettingsService)) {
        if (auto f = fault("ProductSettingsService"))
            return *f;
        object = new kaldo::RefProductSettingsService(context);
    } else {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return S_OK;
}

} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t QuillonGetClassObject(const char* clsid,
                                                                                     quillon::ComObject** object) {
    if (!clsid || !object)
        return quillon::E_POINTER;
    *object = nullptr;
    try {
        quillon::ComObject* created = nullptr;
        const quillon::HRESULT hr = Create(clsid, created);
        *object = created;
        return hr;
    } catch (...) {   // nothing is thrown across the library boundary
        return quillon::E_OUTOFMEMORY;
    }
}
