#pragma once
// Port: the view of the collection page (dialog 177). Implemented by the Qt page and by
// MemoryCollectionList (quillon-cli and tests).
#include <string>
#include <vector>

namespace quillon {

class CollectionListView {
public:
    virtual ~CollectionListView() = default;
    // List 1052: single selection, sorted (ListSortsBefore); an entry carries an item number.
    virtual void ClearList() = 0;
    virtual void AddEntry(const std::string& text, int data) = 0;
    virtual int EntryCount() const = 0;
    virtual int EntryData(int entry) const = 0;
    // The selected entry, -1 when none.
    virtual int SelectedEntry() const = 0;
    virtual void EnableNext(bool enabled) = 0;
};

// The view as plain data, in the list's order.
class MemoryCollectionList : public CollectionListView {
public:
    struct Entry {
        std::string text;
        int data = 0;
    };
    void ClearList() override { entries.clear(); }
    void AddEntry(const std::string& text, int data) override;
    int EntryCount() const override { return static_cast<int>(entries.size()); }
    int EntryData(int entry) const override {
        return entries.at(static_cast<std::size_t>(entry)).data;
    }
    int SelectedEntry() const override { return selected; }
    void EnableNext(bool enabled) override { nextEnabled = enabled; }

    std::vector<Entry> entries;
    int selected = -1;
    bool nextEnabled = false;
};

} // namespace quillon
