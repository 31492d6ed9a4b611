#pragma once
// What the product holds: the collections (installed translation profiles) of each direction,
// asked through the kernel's own catalogue operations — the removal page's source —, for
// quillon-cli installed. Unlike the page, which lists the collections whose state is 0, every
// collection is answered with its state.
#include "product/HResult.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

struct InstalledCollection {
    std::uint16_t index = 0; // the kernel's index in the direction
    std::string name;
    std::int32_t state = 0; // GetCollectionState: 0 = listed by the removal page
};

struct InstalledDirection {
    std::uint32_t id = 0;
    std::string name; // as the kernel names it
    std::vector<InstalledCollection> collections;
};

struct InstalledListing {
    enum class Status {
        Listed,           // `directions` holds the kernel's directions (or the one asked for)
        NotConnected,     // the kernel could not be created or logged in to
        UnknownDirection, // the kernel does not report the direction asked for
        Failed, // a catalogue call failed: `error` is its HRESULT (E_FAIL when not the kernel's)
    };
    Status status = Status::Failed;
    HRESULT error = S_OK;
    std::vector<InstalledDirection> directions;
};

// Every direction of the kernel, in its order (GetDirectionCount, GetDirection), or only
// `direction`; for each, GetCollectionCount, then GetCollectionName and GetCollectionState of
// every index. Uses the process-wide kernel connection, connecting it when there is none.
// Nothing is changed and no message is shown.
InstalledListing ListInstalledCollections(std::optional<std::uint32_t> direction);

} // namespace quillon
