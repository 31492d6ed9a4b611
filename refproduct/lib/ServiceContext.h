#pragma once
// What every service object of the reference product shares: the hive it was registered in,
// the product root the hive records (empty when none), the journal and fault injection.
#include "Journal.h"
#include "product/ComError.h"
#include "product/HResult.h"

#include <optional>
#include <string>

namespace kaldo {

class ServiceContext {
public:
    // From $QUILLON_REGISTRY (else the machine's hive).
    static ServiceContext FromEnvironment();
    ServiceContext(std::string hivePath, std::string root) : hivePath_(std::move(hivePath)), root_(std::move(root)) {}

    const std::string& HivePath() const { return hivePath_; }
    const std::string& Root() const { return root_; }

    // The planned fault of `operation`, consumed (see ProductRegistry.h).
    std::optional<quillon::HRESULT> Fault(const std::string& operation) const;
    // Journals the call (nothing when no product root is known) and answers `status`.
    quillon::HRESULT Record(const JournalRecord& record, quillon::HRESULT status) const;
    // Runs `body` unless a fault is planned for the record's operation; journals either way.
    // A fault planned for "Raise.<operation>" is raised as a ComError instead of answered (an
    // answered fault of the same operation is taken first).
    template <class Body>
    quillon::HRESULT Call(JournalRecord& record, Body&& body) const {
        if (auto fault = Fault(record.Operation())) {
            record.Out("injected", std::int64_t(1));
            return Record(record, *fault);
        }
        if (auto raised = Fault("Raise." + record.Operation())) {
            record.Out("injected", std::int64_t(2));
            Record(record, *raised);
            throw quillon::ComError(*raised, "Reference product: injected failure of " + record.Operation());
        }
        return Record(record, body());
    }

private:
    std::string hivePath_;
    std::string root_;
};

} // namespace kaldo
