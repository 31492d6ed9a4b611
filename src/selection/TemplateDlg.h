#pragma once
// CTemplateDlg: the profile page's logic. It preselects the collection's supported profiles,
// computes the disk space they need and the space free on the kernel's disk, keeps the user's
// selection in the profiles' selected flags, and decides the page's end: its own Next logic runs
// at the end of initialisation, so with enough free space the page ends at once.
#include "model/DictCollection.h"
#include "model/SmartPtr.h"
#include "selection/ProfileSelectionView.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace quillon {

class CTemplateDlg {
public:
    CTemplateDlg(CSmartPtr<CDictCollection> collection, ProfileSelectionView& view);

    // Fills the page. Answers the page result when the page ends during initialisation: 1 (Next
    // logic went on), 1001 (no direction folder: message 1077), 2 (unexpected failure: message
    // 57355); nothing when the page stays open.
    std::optional<int> Initialize();

    // The page's events. Each answers the page result when the page ends.
    void OnSelectAll();
    void OnDeselectAll();
    void OnListSelectionChanged();
    std::optional<int> OnNext();

    // Sets one entry as the selection setter does (an unsupported profile stays deselected).
    void SetEntrySelection(int entry, bool selected);

    bool AnySelected() const { return anySelected_; }
    int ReplaceMode() const { return replaceMode_; }
    void SetReplaceMode(int mode);
    std::uint64_t Required() const { return required_; }
    std::uint64_t Free() const { return free_; }

private:
    CVdxTopicInfo* ProfileOf(int entry) const;
    bool ComputeDiskFigures(); // false when no direction folder is known
    void UpdateButtons();
    void TakeSnapshot();

    CSmartPtr<CDictCollection> collection_;
    ProfileSelectionView& view_;
    std::vector<int> snapshot_;
    std::uint64_t required_ = 0;
    std::uint64_t free_ = 0;
    bool anySelected_ = false;
    int replaceMode_ = 1;
};

} // namespace quillon
