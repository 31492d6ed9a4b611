#pragma once
// Services seen through the step observer (platform/StepObserver.h): every object the factory
// creates that is a KernelService comes back wrapped, so that each of its calls — and the calls
// of the catalogue it hands out — is reported with its HRESULT and duration; every message box
// is reported with its answer. The wrapped kernel answers exactly as the product's does.
//
// Read-only mode (quillon-cli plan): the wrapped kernel refuses every call that changes the
// product (ImportDictionary, DeleteDictionary, SetDictionaryValue, InstallBaseTM,
// InstallProfile, RemoveCollection, RemoveDirectionCollections, RemoveAllCollections) with
// E_ACCESSDENIED without passing it on.
#include "platform/ObjectFactory.h"
#include "platform/StepObserver.h"

#include <memory>

namespace quillon {

class ObservingObjectFactory : public ObjectFactory {
public:
    ObservingObjectFactory(ObjectFactory& inner, bool readOnly)
        : inner_(inner), readOnly_(readOnly) {}
    // The inner factory's object, a KernelService wrapped. Every creation is reported as the call
    // "Create.KernelService", "Create.DictFileService" or "CreateInstance" (other classes); one
    // that fails with the ComError's HRESULT, and the error is passed on.
    std::shared_ptr<ComObject> CreateInstance(std::string_view clsid,
                                              ServerContext context) override;

private:
    ObjectFactory& inner_;
    bool readOnly_;
};

// Installs, for its lifetime, `observer` as the ports' step observer, the observing factory in
// front of the ports' object factory and the observed message port in front of their message
// port (both must be installed already: else std::logic_error, and nothing is changed); restores
// the previous ones afterwards.
class ScopedObservation {
public:
    ScopedObservation(StepObserver& observer, bool readOnly);
    ~ScopedObservation();
    ScopedObservation(const ScopedObservation&) = delete;
    ScopedObservation& operator=(const ScopedObservation&) = delete;

private:
    StepObserver* savedSteps_;
    ObjectFactory* savedObjects_;
    MessagePort* savedMessages_;
    std::unique_ptr<ObservingObjectFactory> objects_;
    std::unique_ptr<ObservedMessagePort> messages_;
};

} // namespace quillon
