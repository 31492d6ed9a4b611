#pragma once
// Removal without a window, for quillon-cli ("remove --direction CODE (--collection NAME… |
// --all-of-direction)", "remove --all"). It drives the removal page's own logic
// (CTemplateRemoveDlg) through a view kept in memory, so the kernel is asked exactly as the page
// asks it and the same messages are shown through the installed MessagePort.
#include "product/HResult.h"
#include "removal/RemovalView.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

struct RemovedCollection {
    std::uint32_t direction = 0;
    std::string name;
};

struct FailedRemoval {
    std::uint32_t direction = 0;
    std::string name; // empty: the bulk call (or the step around the per-collection calls)
    HRESULT error =
        S_OK; // the kernel's failure; E_UNEXPECTED for a failure that is not the kernel's
};

struct RemovalOutcome {
    enum class Status {
        Done,             // the removal ran; `failed` lists what the kernel refused
        NotConnected,     // the kernel could not be created or logged in to: nothing removed
        ListFailed,       // the directions or collections could not be listed (message shown)
        UnknownDirection, // the kernel does not report the direction asked for
        NothingToRemove, // Chosen: none of the names is listed; Direction: the direction lists none
        Failed,          // the removal failed outside the per-collection calls (message shown)
    };
    Status status = Status::Failed;
    std::vector<RemovedCollection> removed;
    std::vector<FailedRemoval> failed;
    std::vector<std::string> notListed; // names asked for that the direction does not list
};

// Removes, by `mode`: Chosen — the collections of `direction` named in `names` (a name matches
// a listed collection of the same spelling, else one differing in letter case only); Direction
// — every collection of `direction`; All — every collection of every direction (`direction` is
// then not used). `removed` holds what is gone: the collections removed one by one (Chosen), or
// those listed before and not after, in the kernel's order (Direction: the direction; All: every
// direction, in the kernel's order of directions).
RemovalOutcome RemoveCollections(std::uint32_t direction, const std::vector<std::string>& names,
                                 RemovalMode mode);

} // namespace quillon
