#pragma once
// CTemplateRemoveDlg: the logic of the collection removal page (dialog 175). The page lists the
// collections the kernel holds for one direction and has the kernel remove the chosen ones, all
// of the direction, or all of every direction; it removes nothing itself and rolls nothing back.
// A failure to remove one collection does not stop the others.
#include "product/HResult.h"
#include "removal/RemovalView.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// What the last removal did, for the front ends' reports.
struct RemovalRecord {
    // The collection (mode Chosen); empty for the step outside the per-collection calls: the bulk
    // call of modes Direction and All, or what ended mode Chosen early (recorded only then).
    std::string name;
    HRESULT error = S_OK; // S_OK removed; the kernel's failure; E_UNEXPECTED for another failure
};

// The list entry for a collection name: one of the same spelling, else the first that equals it
// ignoring case; -1 when none.
int FindCollectionEntry(RemovalView& view, const std::string& name);

class CTemplateRemoveDlg {
public:
    static constexpr int kResultBack = 1001;
    static constexpr int kResultCancel = 2;

    explicit CTemplateRemoveDlg(RemovalView& view);

    // The page's start: checks 1023, reconnects the kernel (a new, logged-in instance), fills the
    // directions (selecting the first) and the collection list. Answers nullopt when the page
    // stays open — also with empty lists when the kernel cannot be created or logged in to —,
    // or 2 when it ends at once: the directions could not be listed (message 1035 or 57355 from
    // FillDirectionList), the collection list could not be filled (message 57355, error icon),
    // or an unexpected failure (57355, error icon).
    std::optional<int> OnInitDialog();

    // Radio buttons, combo box and list: the enable states of the control table.
    void OnModeChosen(RemovalMode mode);
    // Answers FillCollectionList's result.
    bool OnDirectionChanged();
    void OnCollectionSelectionChanged();

    // "&Удалить", with the wait cursor shown throughout. Reconnects the kernel (nothing happens,
    // and nothing is shown, when that fails), then removes by the mode: Chosen — every listed,
    // selected collection of the direction, highest index first, each failure reported (2032 for
    // 0x800F000A, 2034 for 0x800F001A, else the kernel's description, error icon; 57355 plain
    // for a failure that is not the kernel's) and skipped; Direction — RemoveDirectionCollections;
    // All — RemoveAllCollections. Then refills the list. A failure outside the per-collection
    // calls shows the kernel's description (error icon) or 57355 (plain) and does not refill.
    void OnRemove();

    // Exit (button 2, Escape): asks the confirmation; true when the page ends with 2.
    bool OnCancel();
    // "VANTEL_GO_HOME": the page ends with 2 at once.
    static int OnGoHome() { return kResultCancel; }
    static int OnBack() { return kResultBack; }

    // Empties the list and lists the names of the current direction's collections whose state is
    // 0, connecting the kernel first when there is no connection. False when the kernel cannot be
    // connected, or it fails (a kernel error also beeps and shows its description, error icon).
    bool FillCollectionList();

    RemovalMode Mode() const { return mode_; }
    // Direction name -> id, filled with the combo box.
    const std::map<std::string, std::uint32_t>& DirectionNames() const { return names_; }
    // The id of the combo box's current text; 0 when the map has none.
    std::uint32_t CurrentDirection();
    // Outcomes of the last OnRemove (see RemovalRecord).
    const std::vector<RemovalRecord>& Records() const { return records_; }
    // Whether the last OnRemove got as far as a connected kernel.
    bool RemovalConnected() const { return connected_; }

private:
    bool AnySelected();
    void DeselectAll();
    void RemoveChosen(std::uint32_t direction);

    RemovalView& view_;
    RemovalMode mode_ = RemovalMode::Chosen;
    std::map<std::string, std::uint32_t> names_;
    std::vector<RemovalRecord> records_;
    bool connected_ = false;
};

} // namespace quillon
