#pragma once
// A removal page view that keeps what the page would show: a sorted list with selections, the
// enable states, the checked mode, beeps and the wait cursor.
#include "removal/RemovalView.h"
#include "support/Text.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace quillon::test {

class RecordingRemovalView : public RemovalView, public DirectionListPort {
public:
    DirectionListPort& Directions() override { return *this; }
    void AddString(const std::string& text) override { directions.push_back(text); }
    void SelectFirst() override {
        current = directions.empty() ? std::string() : directions.front();
    }
    std::string CurrentDirection() override { return current; }
    void EnableDirections(bool enabled) override { directionsEnabled = enabled; }

    void ClearCollections() override { entries.clear(), ++clears; }
    // The list is sorted, as the list box of the page is.
    void AddCollection(const std::string& name) override {
        const auto key = [](const Entry& e) { return std::make_pair(FoldCase(e.text), e.text); };
        const Entry added{name, false};
        entries.insert(
            std::upper_bound(entries.begin(), entries.end(), added,
                             [&](const Entry& a, const Entry& b) { return key(a) < key(b); }),
            added);
    }
    int CollectionCount() override { return static_cast<int>(entries.size()); }
    std::string CollectionText(int index) override {
        return entries.at(static_cast<std::size_t>(index)).text;
    }
    bool IsCollectionSelected(int index) override {
        return entries.at(static_cast<std::size_t>(index)).selected;
    }
    void SelectCollection(int index, bool selected) override {
        entries.at(static_cast<std::size_t>(index)).selected = selected;
    }
    void EnableCollections(bool enabled) override { collectionsEnabled = enabled; }
    void CheckMode(RemovalMode mode) override { checked = mode; }
    void EnableRemove(bool enabled) override { removeEnabled = enabled; }
    void ShowWaitCursor(bool shown) override {
        waitCursor = shown;
        if (shown)
            ++waitCursors;
    }
    void Beep() override { ++beeps; }
    bool ConfirmCancel() override { return ++confirmations, confirm; }

    // Test helpers: what a user does with the mouse.
    void Choose(const std::string& direction) { current = direction; }
    bool Select(const std::string& name) {
        for (auto& e : entries)
            if (e.text == name)
                return e.selected = true;
        return false;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : entries)
            names.push_back(e.text);
        return names;
    }

    struct Entry {
        std::string text;
        bool selected = false;
    };
    std::vector<std::string> directions;
    std::string current;
    std::vector<Entry> entries;
    bool directionsEnabled = true, collectionsEnabled = true, removeEnabled = true;
    RemovalMode checked = RemovalMode::All;
    bool waitCursor = false, confirm = true;
    int waitCursors = 0, beeps = 0, clears = 0, confirmations = 0;
};

} // namespace quillon::test
