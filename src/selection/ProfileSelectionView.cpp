#include "selection/ProfileSelectionView.h"

#include "support/Text.h"

#include <algorithm>

namespace quillon {

void MemoryProfileList::AddEntry(const std::string& text, int data) {
    const auto at = std::upper_bound(entries.begin(), entries.end(), text,
                                     [](const std::string& t, const Entry& e) { return ListSortsBefore(t, e.text); });
    entries.insert(at, Entry{text, data, false});
}

} // namespace quillon
