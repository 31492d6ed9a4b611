#include "removal/InstalledCollections.h"

#include "product/ComError.h"
#include "product/KernelConnection.h"

namespace quillon {

InstalledListing ListInstalledCollections(std::optional<std::uint32_t> direction) {
    InstalledListing listing;
    if (!EnsureKernelConnection()) {
        listing.status = InstalledListing::Status::NotConnected;
        return listing;
    }
    const auto kernel = KernelConnection();
    try {
        std::uint16_t count = 0;
        ThrowIfFailed(kernel->GetDirectionCount(count));
        for (std::int32_t i = 0; i < count; ++i) {
            InstalledDirection d;
            ThrowIfFailed(kernel->GetDirection(i, d.id, d.name));
            if (!direction || *direction == d.id)
                listing.directions.push_back(std::move(d));
        }
        if (direction && listing.directions.empty()) {
            listing.status = InstalledListing::Status::UnknownDirection;
            return listing;
        }
        for (InstalledDirection& d : listing.directions) {
            std::uint16_t collections = 0;
            ThrowIfFailed(kernel->GetCollectionCount(d.id, collections));
            for (std::uint16_t index = 0; index < collections; ++index) {
                InstalledCollection c;
                c.index = index;
                ThrowIfFailed(kernel->GetCollectionName(d.id, index, c.name));
                ThrowIfFailed(kernel->GetCollectionState(d.id, index, c.state));
                d.collections.push_back(std::move(c));
            }
        }
        listing.status = InstalledListing::Status::Listed;
    } catch (const ComError& error) {
        listing.status = InstalledListing::Status::Failed;
        listing.error = error.Error();
        listing.directions.clear();
    } catch (const std::exception&) {
        listing.status = InstalledListing::Status::Failed;
        listing.error = E_FAIL;
        listing.directions.clear();
    }
    return listing;
}

} // namespace quillon
