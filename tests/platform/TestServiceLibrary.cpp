// A service library for the object-factory tests: serves one class whose object offers the
// kernel login interface and answers Login with the mode it was given.
#include "product/KernelService.h"
#include "product/ServiceLibrary.h"

#include <cstring>

namespace {

class EchoLogin : public quillon::KernelLogin {
public:
    quillon::HRESULT Login(std::int32_t, const std::string& product, std::int32_t mode) override {
        return product == "RAVIRI" ? mode : quillon::E_ACCESSDENIED;
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t QuillonGetClassObject(const char* clsid, quillon::ComObject** object) {
    *object = nullptr;
    if (std::strcmp(clsid, "{11111111-2222-3333-4444-555555555555}") != 0)
        return quillon::CLASS_E_CLASSNOTAVAILABLE;
    *object = new EchoLogin;
    return quillon::S_OK;
}
