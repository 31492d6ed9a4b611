#pragma once
// KernelService of the reference product: the kernel's operations on the product's state
// (Product), each journalled and open to fault injection under its own name
// ("ImportDictionary", "Login", ...). Until Login(1, "RAVIRI", 1) succeeded every other
// operation answers E_ACCESSDENIED.
#include "Product.h"
#include "ServiceContext.h"
#include "product/KernelService.h"

#include <memory>

namespace kaldo {

class RefKernelService : public quillon::KernelService, public quillon::KernelLogin {
public:
    RefKernelService(ServiceContext context, std::unique_ptr<Product> product);

    quillon::HRESULT Login(std::int32_t client, const std::string& product, std::int32_t mode) override;

    quillon::HRESULT GetDirectionCount(std::uint16_t& count) override;
    quillon::HRESULT GetDirection(std::int32_t index, std::uint32_t& directionId, std::string& name) override;
    quillon::HRESULT GetDirectionPath(std::uint32_t directionId, std::string& path) override;
    quillon::HRESULT GetCatalogue(std::shared_ptr<quillon::ComObject>& catalogue) override;
    quillon::HRESULT OpenDictionary(const std::string& path, std::shared_ptr<quillon::KernelDictionary>& dictionary) override;
    quillon::HRESULT GetDictionaryInfo(const std::string& path, std::string& guid, std::uint32_t& directionId) override;
    quillon::HRESULT GetDictionaryValue(const std::string& name, std::int64_t& value) override;
    quillon::HRESULT SetDictionaryValue(const std::string& name, const std::string& text, std::int64_t value) override;
    quillon::HRESULT ImportDictionary(const std::string& path, std::uint32_t directionId, std::int32_t flags,
                                      quillon::ProgressReceiver* progress) override;
    quillon::HRESULT DeleteDictionary(const std::string& path, std::uint32_t directionId) override;
    quillon::HRESULT InstallBaseTM(const std::string& sourcePath, std::int32_t flags, const std::string& xml,
                                   std::int32_t replaceMode, std::string& result) override;
    quillon::HRESULT InstallProfile(const std::string& xml, std::int32_t replaceMode, std::string& result) override;
    quillon::HRESULT GetCollectionCount(std::uint32_t directionId, std::uint16_t& count) override;
    quillon::HRESULT GetCollectionName(std::uint32_t directionId, std::uint16_t index, std::string& name) override;
    quillon::HRESULT GetCollectionState(std::uint32_t directionId, std::uint16_t index, std::int32_t& state) override;
    quillon::HRESULT RemoveCollection(std::uint32_t directionId, std::uint16_t index) override;
    quillon::HRESULT RemoveDirectionCollections(std::uint32_t directionId) override;
    quillon::HRESULT RemoveAllCollections() override;

private:
    template <class Body>
    quillon::HRESULT Guarded(JournalRecord& record, Body&& body);

    ServiceContext context_;
    std::shared_ptr<Product> product_;
    bool loggedIn_ = false;
};

} // namespace kaldo
