#include "product/KernelConnection.h"

#include "product/ComError.h"
#include "product/CreateService.h"
#include "product/Paths.h"
#include "product/RegistryKey.h"
#include "product/ServiceIds.h"
#include "support/Messages.h"

#include <cstdlib>

namespace quillon {

std::shared_ptr<KernelService>& KernelConnection() {
    static std::shared_ptr<KernelService> connection;
    return connection;
}

void ReleaseKernelConnection() { KernelConnection().reset(); }

namespace {
std::string& Failure() {
    static std::string failure;
    return failure;
}
} // namespace

const std::string& KernelConnectionFailure() { return Failure(); }

bool ConnectKernel() {
    Failure().clear();
    try {
        auto object = Objects().CreateInstance(clsid::KernelService, ServerContext::Any);
        auto service = QueryInterface<KernelService>(object);
        auto login = QueryInterface<KernelLogin>(object);
        if (!service || !login) {
            Failure() = "the kernel object answers neither as a kernel nor as a login";
            return false;
        }
        KernelConnection() = service;
        if (const HRESULT hr = login->Login(1, "RAVIRI", 1); Failed(hr)) {
            Failure() = "the kernel refused the login (" + HResultText(hr) + ")";
            ReleaseKernelConnection();
            return false;
        }
        return true;
    } catch (const ComError& e) {
        // Not registered is the product's absence, not a failure of it.
        if (e.Error() != REGDB_E_CLASSNOTREG)
            Failure() = e.Description().empty() ? HResultText(e.Error()) : e.Description();
        ReleaseKernelConnection();
        return false;
    } catch (const std::exception& e) {
        Failure() = e.what();
        ReleaseKernelConnection();
        return false;
    }
}

bool EnsureKernelConnection() {
    if (KernelConnection())
        return true;
    return ConnectKernel();
}

bool FillDirectionList(DirectionListPort& list, std::map<std::string, std::uint32_t>* nameMap) {
    if (!KernelConnection() && !ConnectKernel())
        return false;
    auto kernel = KernelConnection();
    if (!kernel) {
        ShowMessage(1035);
        return false;
    }
    try {
        std::uint16_t count = 0;
        ThrowIfFailed(kernel->GetDirectionCount(count));
        for (std::int32_t index = 0; index < count; ++index) {
            std::uint32_t id = 0;
            std::string name;
            ThrowIfFailed(kernel->GetDirection(index, id, name));
            list.AddString(name);
            if (nameMap)
                (*nameMap)[name] = id;
        }
    } catch (const std::exception&) {
        ShowMessage(57355, MessageIcon::Error);
        return false;
    }
    list.SelectFirst();
    return true;
}

namespace {

// The "DirID" text as a number: optional blanks and "0x", then hex digits up to the first
// character that is not one.
std::uint32_t ParseDirId(const std::string& text) {
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 16);
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

} // namespace

std::string GetDirectionFolder(std::uint32_t directionId) {
    CRegistryKey zozedi;
    if (!zozedi.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\Zozedi9\\"))
        return {};
    auto directions = zozedi.OpenChild("Directions");
    if (!directions)
        return {};
    std::string base = directions->GetString("Path");
    if (base.empty())
        return {};
    AppendBackslash(base);
    directions->StartSubkeys();
    std::string name;
    while (directions->NextSubkeyName(name)) {
        auto sub = directions->OpenChild(name);
        if (!sub)
            return {};
        const std::string dirId = sub->GetString("DirID");
        if (dirId.empty())
            return {};
        const std::uint32_t id = ParseDirId(dirId);
        if (id == 0 || id != directionId)
            continue;
        const std::string prefix = sub->GetString("Prefix");
        if (prefix.empty())
            return {};
        return base + prefix + "/";
    }
    return base;
}

} // namespace quillon
