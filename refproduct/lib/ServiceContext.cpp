#include "ServiceContext.h"

#include "ProductRegistry.h"
#include "platform/posix/HiveRegistry.h"

namespace kaldo {

ServiceContext ServiceContext::FromEnvironment() {
    const std::string hivePath = quillon::posix::HiveRegistry::DefaultPath();
    quillon::posix::HiveRegistry hive(hivePath);
    auto root = ReadString(hive, quillon::RegistryRoot::LocalMachine, kReferenceKey, "Root");
    return ServiceContext(hivePath, root.value_or(std::string()));
}

std::optional<quillon::HRESULT> ServiceContext::Fault(const std::string& operation) const {
    return TakeFault(hivePath_, operation);
}

quillon::HRESULT ServiceContext::Record(const JournalRecord& record, quillon::HRESULT status) const {
    if (!root_.empty())
        AppendJournal(root_, record, status);
    return status;
}

} // namespace kaldo
