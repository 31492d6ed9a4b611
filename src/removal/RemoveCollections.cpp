#include "removal/RemoveCollections.h"

#include "product/KernelConnection.h"
#include "removal/TemplateRemoveDlg.h"

#include <algorithm>
#include <set>
#include <utility>

namespace quillon {

namespace {

// The page's controls kept in memory.
class MemoryRemovalView : public RemovalView, private DirectionListPort {
public:
    DirectionListPort& Directions() override { return *this; }
    std::string CurrentDirection() override { return current_; }
    void EnableDirections(bool) override {}
    void ClearCollections() override { entries_.clear(); }
    void AddCollection(const std::string& name) override { entries_.push_back({name, false}); }
    int CollectionCount() override { return static_cast<int>(entries_.size()); }
    std::string CollectionText(int index) override {
        return entries_.at(static_cast<std::size_t>(index)).first;
    }
    bool IsCollectionSelected(int index) override {
        return entries_.at(static_cast<std::size_t>(index)).second;
    }
    void SelectCollection(int index, bool selected) override {
        entries_.at(static_cast<std::size_t>(index)).second = selected;
    }
    void EnableCollections(bool) override {}
    void CheckMode(RemovalMode) override {}
    void EnableRemove(bool enabled) override { removeEnabled_ = enabled; }
    void ShowWaitCursor(bool) override {}
    void Beep() override {}
    bool ConfirmCancel() override { return true; }

    void Choose(const std::string& directionName) { current_ = directionName; }
    // The combo box's entries in the kernel's order.
    const std::vector<std::string>& DirectionEntries() const { return directions_; }
    bool RemoveEnabled() const { return removeEnabled_; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : entries_)
            names.push_back(e.first);
        return names;
    }

private:
    void AddString(const std::string& text) override { directions_.push_back(text); }
    void SelectFirst() override {
        current_ = directions_.empty() ? std::string() : directions_.front();
    }

    std::vector<std::string> directions_;
    std::string current_;
    std::vector<std::pair<std::string, bool>> entries_;
    bool removeEnabled_ = false;
};

using Listing = std::vector<RemovedCollection>;

// The collections the page lists for each of `directions`, switching its combo box as a user would.
bool ListDirections(CTemplateRemoveDlg& page, MemoryRemovalView& view,
                    const std::vector<std::pair<std::string, std::uint32_t>>& directions,
                    Listing& listing) {
    listing.clear();
    for (const auto& [name, id] : directions) {
        view.Choose(name);
        if (!page.OnDirectionChanged())
            return false;
        for (auto& collection : view.Names())
            listing.push_back({id, std::move(collection)});
    }
    return true;
}

// What `before` lists and `after` does not.
std::vector<RemovedCollection> Gone(const Listing& before, const Listing& after) {
    std::vector<RemovedCollection> gone;
    for (const auto& b : before) {
        const bool stays = std::any_of(after.begin(), after.end(), [&](const RemovedCollection& a) {
            return a.direction == b.direction && a.name == b.name;
        });
        if (!stays)
            gone.push_back(b);
    }
    return gone;
}

} // namespace

RemovalOutcome RemoveCollections(std::uint32_t direction, const std::vector<std::string>& names,
                                 RemovalMode mode) {
    using Status = RemovalOutcome::Status;
    RemovalOutcome outcome;
    MemoryRemovalView view;
    CTemplateRemoveDlg page(view);
    if (page.OnInitDialog()) {
        outcome.status = Status::ListFailed;
        return outcome;
    }
    if (!KernelConnection()) {
        outcome.status = Status::NotConnected;
        return outcome;
    }

    // The directions the removal looks at: the one asked for, or every one for mode All.
    std::vector<std::pair<std::string, std::uint32_t>> directions;
    for (const auto& name : view.DirectionEntries()) {
        const auto found = page.DirectionNames().find(name);
        if (found == page.DirectionNames().end())
            continue;
        const bool listed = std::any_of(directions.begin(), directions.end(),
                                        [&](const auto& d) { return d.first == name; });
        if (!listed && (mode == RemovalMode::All || found->second == direction))
            directions.emplace_back(name, found->second);
    }
    if (directions.empty() && mode != RemovalMode::All) {
        outcome.status = Status::UnknownDirection;
        return outcome;
    }

    Listing before;
    if (!ListDirections(page, view, directions, before)) {
        outcome.status = Status::ListFailed;
        return outcome;
    }
    if (mode != RemovalMode::All) {
        // The page removes from the direction its combo box shows; the listing left it there.
        page.OnModeChosen(mode);
        if (mode == RemovalMode::Chosen) {
            for (const auto& name : names) {
                const int entry = FindCollectionEntry(view, name);
                if (entry < 0)
                    outcome.notListed.push_back(name);
                else
                    view.SelectCollection(entry, true);
            }
            page.OnCollectionSelectionChanged();
        }
    } else {
        page.OnModeChosen(mode);
    }
    if (!view.RemoveEnabled()) {
        outcome.status = Status::NothingToRemove;
        return outcome;
    }

    const std::uint32_t removalDirection = page.CurrentDirection();
    page.OnRemove();
    if (!page.RemovalConnected()) {
        outcome.status = Status::NotConnected;
        return outcome;
    }
    outcome.status = Status::Done;
    for (const auto& record : page.Records()) {
        if (record.error != S_OK)
            outcome.failed.push_back({removalDirection, record.name, record.error});
        else if (!record.name.empty())
            outcome.removed.push_back({removalDirection, record.name});
        if (record.name.empty() && record.error != S_OK)
            outcome.status = Status::Failed;
    }
    if (mode != RemovalMode::Chosen && outcome.status == Status::Done) {
        Listing after;
        if (!ListDirections(page, view, directions, after)) {
            outcome.status = Status::ListFailed;
            return outcome;
        }
        outcome.removed = Gone(before, after);
    }
    return outcome;
}

} // namespace quillon
