#include "product/ObservedServices.h"

#include "platform/Ports.h"
#include "product/ComError.h"
#include "product/KernelService.h"
#include "product/ServiceIds.h"

#include <chrono>

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;

// Runs one call, reporting its status (or the HRESULT of the ComError it raises; E_FAIL for any
// other exception) and duration.
template <class Body> HRESULT Observed(std::string_view operation, Body&& body) {
    const auto start = Clock::now();
    const auto took = [&] {
        return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    };
    try {
        const HRESULT status = body();
        Steps().KernelCall(operation, status, took());
        return status;
    } catch (const ComError& error) {
        Steps().KernelCall(operation, error.Error(), took());
        throw;
    } catch (...) {
        Steps().KernelCall(operation, E_FAIL, took());
        throw;
    }
}

// A changing call in read-only mode: refused and reported, never passed on.
HRESULT Refused(std::string_view operation) {
    Steps().KernelCall(operation, E_ACCESSDENIED, std::chrono::microseconds(0));
    return E_ACCESSDENIED;
}

class ObservedCatalogueDirection : public CatalogueDirection {
public:
    explicit ObservedCatalogueDirection(std::shared_ptr<CatalogueDirection> inner)
        : inner_(std::move(inner)) {}
    HRESULT GetDictionary(std::int16_t key, std::shared_ptr<DictFile>& file) override {
        return Observed("Catalogue.GetDictionary",
                        [&] { return inner_->GetDictionary(key, file); });
    }

private:
    std::shared_ptr<CatalogueDirection> inner_;
};

class ObservedKernelDictionaries : public KernelDictionaries {
public:
    explicit ObservedKernelDictionaries(std::shared_ptr<KernelDictionaries> inner)
        : inner_(std::move(inner)) {}
    HRESULT GetDirection(std::uint32_t directionId,
                         std::shared_ptr<CatalogueDirection>& direction) override {
        return Observed("Catalogue.GetDirection", [&] {
            std::shared_ptr<CatalogueDirection> found;
            const HRESULT status = inner_->GetDirection(directionId, found);
            direction = found ? std::make_shared<ObservedCatalogueDirection>(found) : nullptr;
            return status;
        });
    }

private:
    std::shared_ptr<KernelDictionaries> inner_;
};

class ObservedKernelService : public KernelService, public KernelLogin {
public:
    ObservedKernelService(std::shared_ptr<KernelService> inner, std::shared_ptr<KernelLogin> login,
                          bool readOnly)
        : inner_(std::move(inner)), login_(std::move(login)), readOnly_(readOnly) {}

    HRESULT Login(std::int32_t client, const std::string& product, std::int32_t mode) override {
        return Observed(
            "Login", [&] { return login_ ? login_->Login(client, product, mode) : E_NOINTERFACE; });
    }
    HRESULT GetDirectionCount(std::uint16_t& count) override {
        return Observed("GetDirectionCount", [&] { return inner_->GetDirectionCount(count); });
    }
    HRESULT GetDirection(std::int32_t index, std::uint32_t& directionId,
                         std::string& name) override {
        return Observed("GetDirection",
                        [&] { return inner_->GetDirection(index, directionId, name); });
    }
    HRESULT GetDirectionPath(std::uint32_t directionId, std::string& path) override {
        return Observed("GetDirectionPath",
                        [&] { return inner_->GetDirectionPath(directionId, path); });
    }
    HRESULT GetCatalogue(std::shared_ptr<ComObject>& catalogue) override {
        return Observed("GetCatalogue", [&] {
            std::shared_ptr<ComObject> object;
            const HRESULT status = inner_->GetCatalogue(object);
            // The catalogue comes back observed when it offers KernelDictionaries, else as it is.
            if (auto dictionaries = QueryInterface<KernelDictionaries>(object))
                catalogue = std::make_shared<ObservedKernelDictionaries>(dictionaries);
            else
                catalogue = object;
            return status;
        });
    }
    HRESULT OpenDictionary(const std::string& path,
                           std::shared_ptr<KernelDictionary>& dictionary) override {
        return Observed("OpenDictionary", [&] { return inner_->OpenDictionary(path, dictionary); });
    }
    HRESULT GetDictionaryInfo(const std::string& path, std::string& guid,
                              std::uint32_t& directionId) override {
        return Observed("GetDictionaryInfo",
                        [&] { return inner_->GetDictionaryInfo(path, guid, directionId); });
    }
    HRESULT GetDictionaryValue(const std::string& name, std::int64_t& value) override {
        return Observed("GetDictionaryValue",
                        [&] { return inner_->GetDictionaryValue(name, value); });
    }
    HRESULT SetDictionaryValue(const std::string& name, const std::string& text,
                               std::int64_t value) override {
        if (readOnly_)
            return Refused("SetDictionaryValue");
        return Observed("SetDictionaryValue",
                        [&] { return inner_->SetDictionaryValue(name, text, value); });
    }
    HRESULT ImportDictionary(const std::string& path, std::uint32_t directionId, std::int32_t flags,
                             ProgressReceiver* progress) override {
        if (readOnly_)
            return Refused("ImportDictionary");
        return Observed("ImportDictionary", [&] {
            return inner_->ImportDictionary(path, directionId, flags, progress);
        });
    }
    HRESULT DeleteDictionary(const std::string& path, std::uint32_t directionId) override {
        if (readOnly_)
            return Refused("DeleteDictionary");
        return Observed("DeleteDictionary",
                        [&] { return inner_->DeleteDictionary(path, directionId); });
    }
    HRESULT InstallBaseTM(const std::string& sourcePath, std::int32_t flags, const std::string& xml,
                          std::int32_t replaceMode, std::string& result) override {
        if (readOnly_)
            return Refused("InstallBaseTM");
        return Observed("InstallBaseTM", [&] {
            return inner_->InstallBaseTM(sourcePath, flags, xml, replaceMode, result);
        });
    }
    HRESULT InstallProfile(const std::string& xml, std::int32_t replaceMode,
                           std::string& result) override {
        if (readOnly_)
            return Refused("InstallProfile");
        return Observed("InstallProfile",
                        [&] { return inner_->InstallProfile(xml, replaceMode, result); });
    }
    HRESULT GetCollectionCount(std::uint32_t directionId, std::uint16_t& count) override {
        return Observed("GetCollectionCount",
                        [&] { return inner_->GetCollectionCount(directionId, count); });
    }
    HRESULT GetCollectionName(std::uint32_t directionId, std::uint16_t index,
                              std::string& name) override {
        return Observed("GetCollectionName",
                        [&] { return inner_->GetCollectionName(directionId, index, name); });
    }
    HRESULT GetCollectionState(std::uint32_t directionId, std::uint16_t index,
                               std::int32_t& state) override {
        return Observed("GetCollectionState",
                        [&] { return inner_->GetCollectionState(directionId, index, state); });
    }
    HRESULT RemoveCollection(std::uint32_t directionId, std::uint16_t index) override {
        if (readOnly_)
            return Refused("RemoveCollection");
        return Observed("RemoveCollection",
                        [&] { return inner_->RemoveCollection(directionId, index); });
    }
    HRESULT RemoveDirectionCollections(std::uint32_t directionId) override {
        if (readOnly_)
            return Refused("RemoveDirectionCollections");
        return Observed("RemoveDirectionCollections",
                        [&] { return inner_->RemoveDirectionCollections(directionId); });
    }
    HRESULT RemoveAllCollections() override {
        if (readOnly_)
            return Refused("RemoveAllCollections");
        return Observed("RemoveAllCollections", [&] { return inner_->RemoveAllCollections(); });
    }

private:
    std::shared_ptr<KernelService> inner_;
    std::shared_ptr<KernelLogin> login_;
    bool readOnly_;
};

} // namespace

std::shared_ptr<ComObject> ObservingObjectFactory::CreateInstance(std::string_view clsid,
                                                                  ServerContext context) {
    std::string_view operation = "CreateInstance";
    if (clsid == clsid::KernelService)
        operation = "Create.KernelService";
    else if (clsid == clsid::DictFileService)
        operation = "Create.DictFileService";
    std::shared_ptr<ComObject> object;
    Observed(operation, [&] {
        object = inner_.CreateInstance(clsid, context);
        return S_OK;
    });
    if (auto kernel = QueryInterface<KernelService>(object))
        return std::make_shared<ObservedKernelService>(kernel, QueryInterface<KernelLogin>(object),
                                                       readOnly_);
    return object;
}

ScopedObservation::ScopedObservation(StepObserver& observer, bool readOnly)
    : savedSteps_(CurrentPorts().steps), savedObjects_(CurrentPorts().objects),
      savedMessages_(CurrentPorts().messages),
      objects_(std::make_unique<ObservingObjectFactory>(Objects(), readOnly)),
      messages_(std::make_unique<ObservedMessagePort>(Messages())) {
    Ports& ports = CurrentPorts();
    ports.steps = &observer;
    ports.objects = objects_.get();
    ports.messages = messages_.get();
}

ScopedObservation::~ScopedObservation() {
    Ports& ports = CurrentPorts();
    ports.steps = savedSteps_;
    ports.objects = savedObjects_;
    ports.messages = savedMessages_;
}

} // namespace quillon
