#pragma once
// A kernel service object (with its login interface) that answers E_NOTIMPL to every call; a
// test's double overrides the calls its test uses.
#include "product/KernelService.h"

namespace quillon::test {

class KernelServiceDouble : public KernelService, public KernelLogin {
public:
    HRESULT Login(std::int32_t, const std::string&, std::int32_t) override { return E_NOTIMPL; }
    HRESULT GetDirectionCount(std::uint16_t&) override { return E_NOTIMPL; }
    HRESULT GetDirection(std::int32_t, std::uint32_t&, std::string&) override { return E_NOTIMPL; }
    HRESULT GetDirectionPath(std::uint32_t, std::string&) override { return E_NOTIMPL; }
    HRESULT GetCatalogue(std::shared_ptr<ComObject>&) override { return E_NOTIMPL; }
    HRESULT OpenDictionary(const std::string&, std::shared_ptr<KernelDictionary>&) override { return E_NOTIMPL; }
    HRESULT GetDictionaryInfo(const std::string&, std::string&, std::uint32_t&) override { return E_NOTIMPL; }
    HRESULT GetDictionaryValue(const std::string&, std::int64_t&) override { return E_NOTIMPL; }
    HRESULT SetDictionaryValue(const std::string&, const std::string&, std::int64_t) override { return E_NOTIMPL; }
    HRESULT ImportDictionary(const std::string&, std::uint32_t, std::int32_t, ProgressReceiver*) override {
        return E_NOTIMPL;
    }
    HRESULT DeleteDictionary(const std::string&, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT InstallBaseTM(const std::string&, std::int32_t, const std::string&, std::int32_t, std::string&) override {
        return E_NOTIMPL;
    }
    HRESULT InstallProfile(const std::string&, std::int32_t, std::string&) override { return E_NOTIMPL; }
    HRESULT GetCollectionCount(std::uint32_t, std::uint16_t&) override { return E_NOTIMPL; }
    HRESULT GetCollectionName(std::uint32_t, std::uint16_t, std::string&) override { return E_NOTIMPL; }
    HRESULT GetCollectionState(std::uint32_t, std::uint16_t, std::int32_t&) override { return E_NOTIMPL; }
    HRESULT RemoveCollection(std::uint32_t, std::uint16_t) override { return E_NOTIMPL; }
    HRESULT RemoveDirectionCollections(std::uint32_t) override { return E_NOTIMPL; }
    HRESULT RemoveAllCollections() override { return E_NOTIMPL; }
};

} // namespace quillon::test
