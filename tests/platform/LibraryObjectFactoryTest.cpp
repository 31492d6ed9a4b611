#include "platform/posix/LibraryObjectFactory.h"
#include "platform/posix/PosixPorts.h"
#include "product/CreateService.h"
#include "product/KernelService.h"

#include <gtest/gtest.h>

namespace quillon::posix {
namespace {

constexpr std::string_view kServed = "{11111111-2222-3333-4444-555555555555}";

void RegisterLibrary(std::string_view clsid, const std::string& path) {
    ASSERT_EQ(Registry().SetValue(RegistryRoot::ClassesRoot, "CLSID\\" + std::string(clsid) + "\\InprocServer32", "",
                                  RegistryValue::String(path)),
              0);
}

HRESULT CreationFailure(std::string_view clsid) {
    try {
        Objects().CreateInstance(clsid, ServerContext::Any);
    } catch (const ComError& e) {
        return e.Error();
    }
    ADD_FAILURE() << "creation of " << clsid << " did not fail";
    return S_OK;
}

TEST(LibraryObjectFactory, LoadsTheRegisteredLibraryAndAsksItForTheObject) {
    RegisterLibrary(kServed, QUILLON_TEST_SERVICE_LIBRARY);
    auto login = CreateService<KernelLogin>(kServed);
    EXPECT_EQ(login->Login(1, "RAVIRI", 1), 1);
    EXPECT_EQ(login->Login(1, "OTHER", 1), E_ACCESSDENIED);
    // The object lacks the kernel service interface.
    try {
        CreateService<KernelService>(kServed);
        ADD_FAILURE() << "no E_NOINTERFACE";
    } catch (const ComError& e) {
        EXPECT_EQ(e.Error(), E_NOINTERFACE);
    }
}

TEST(LibraryObjectFactory, CreationFailuresAreComErrors) {
    EXPECT_EQ(CreationFailure("{00000000-0000-0000-0000-000000000001}"), REGDB_E_CLASSNOTREG);

    const std::string other = "{11111111-2222-3333-4444-000000000002}";
    RegisterLibrary(other, QUILLON_TEST_SERVICE_LIBRARY); // the library does not serve it
    EXPECT_EQ(CreationFailure(other), CLASS_E_CLASSNOTAVAILABLE);

    const std::string noEntry = "{11111111-2222-3333-4444-000000000003}";
    RegisterLibrary(noEntry, QUILLON_TEST_NOENTRY_LIBRARY);
    EXPECT_EQ(CreationFailure(noEntry), CO_E_ERRORINDLL);

    const std::string missing = "{11111111-2222-3333-4444-000000000004}";
    RegisterLibrary(missing, "/nonexistent/libkaldo.so");
    EXPECT_EQ(CreationFailure(missing), CO_E_DLLNOTFOUND);

    // A library is loaded by full path only, never searched for.
    const std::string relative = "{11111111-2222-3333-4444-000000000005}";
    RegisterLibrary(relative, "libquillon_test_service.so");
    EXPECT_EQ(CreationFailure(relative), REGDB_E_CLASSNOTREG);
}

TEST(LibraryObjectFactory, InProcessClassesStandBeforeTheRegistry) {
    auto& factory = Adapters().objects;
    const std::string clsid = "{ABCDEF00-0000-0000-0000-000000000001}";
    factory.RegisterInProcess(clsid, [] { return std::make_shared<ComObject>(); });
    EXPECT_NE(Objects().CreateInstance("{abcdef00-0000-0000-0000-000000000001}", ServerContext::InProcess), nullptr);
    factory.RegisterInProcess(clsid, [] { return std::shared_ptr<ComObject>(); });
    EXPECT_EQ(CreationFailure(clsid), CLASS_E_CLASSNOTAVAILABLE);
    factory.UnregisterInProcess(clsid);
    EXPECT_EQ(CreationFailure(clsid), REGDB_E_CLASSNOTREG);
}

} // namespace
} // namespace quillon::posix
