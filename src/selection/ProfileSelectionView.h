#pragma once
// Port: the view of the profile page (dialog 174). Implemented by the Qt page and by
// MemoryProfileList (quillon-cli and tests).
#include <string>
#include <vector>

namespace quillon {

// The radio buttons of the replace mode.
enum ReplaceRadio : int { kRadioReplace = 1048, kRadioSkip = 1049, kRadioAsk = 1050 };

class ProfileSelectionView {
public:
    virtual ~ProfileSelectionView() = default;
    // List 1039: a sorted, multiple-selection list; an entry carries its profile's index.
    virtual void ClearList() = 0;
    virtual void AddEntry(const std::string& text, int data) = 0;
    virtual int EntryCount() const = 0;
    virtual int EntryData(int entry) const = 0;
    virtual bool IsEntrySelected(int entry) const = 0;
    virtual void SetEntrySelected(int entry, bool selected) = 0;
    // Static 1002: the required and free bytes.
    virtual void SetFigures(const std::string& text) = 0;
    virtual void EnableNext(bool enabled) = 0;
    virtual void EnableSelectAll(bool enabled) = 0;
    virtual void EnableDeselectAll(bool enabled) = 0;
    virtual void CheckReplaceRadio(int radio) = 0;
    virtual int CheckedReplaceRadio() const = 0;
    virtual void FocusNext() {}
    virtual void FocusBack() {}
};

// The view as plain data: entries in ListSortsBefore order (stable for equal texts), as the list control
// sorts them.
class MemoryProfileList : public ProfileSelectionView {
public:
    struct Entry {
        std::string text;
        int data = 0;
        bool selected = false;
    };
    void ClearList() override { entries.clear(); }
    void AddEntry(const std::string& text, int data) override;
    int EntryCount() const override { return static_cast<int>(entries.size()); }
    int EntryData(int entry) const override { return entries.at(static_cast<std::size_t>(entry)).data; }
    bool IsEntrySelected(int entry) const override { return entries.at(static_cast<std::size_t>(entry)).selected; }
    void SetEntrySelected(int entry, bool selected) override { entries.at(static_cast<std::size_t>(entry)).selected = selected; }
    void SetFigures(const std::string& text) override { figures = text; }
    void EnableNext(bool enabled) override { nextEnabled = enabled; }
    void EnableSelectAll(bool enabled) override { selectAllEnabled = enabled; }
    void EnableDeselectAll(bool enabled) override { deselectAllEnabled = enabled; }
    void CheckReplaceRadio(int radio) override { replaceRadio = radio; }
    int CheckedReplaceRadio() const override { return replaceRadio; }

    std::vector<Entry> entries;
    std::string figures;
    bool nextEnabled = false, selectAllEnabled = false, deselectAllEnabled = false;
    int replaceRadio = 0;
};

} // namespace quillon
