#include "selection/TemplateDlg.h"

#include "distribution/FormatGroupedNumber.h"
#include "model/VdxCollectionItem.h"
#include "product/KernelConnection.h"
#include "support/Messages.h"
#include "support/Strings.h"

#include <algorithm>
#include <filesystem>

namespace quillon {

CTemplateDlg::CTemplateDlg(CSmartPtr<CDictCollection> collection, ProfileSelectionView& view)
    : collection_(std::move(collection)), view_(view) {}

void CTemplateDlg::SetReplaceMode(int mode) {
    if (mode >= 0 && mode <= 2)
        replaceMode_ = mode;
}

CVdxTopicInfo* CTemplateDlg::ProfileOf(int entry) const {
    const int index = view_.EntryData(entry);
    auto& profiles = collection_->GetProfiles();
    if (index < 0 || static_cast<std::size_t>(index) >= profiles.size())
        return nullptr;
    return profiles[static_cast<std::size_t>(index)].Get();
}

std::optional<int> CTemplateDlg::Initialize() {
    snapshot_.clear();
    anySelected_ = false;
    try {
        if (!KernelConnection() && !ConnectKernel())
            return std::nullopt; // an empty list with Next disabled
        view_.ClearList();
        const auto& profiles = collection_->GetProfiles();
        for (std::size_t i = 0; i < profiles.size(); ++i)
            if (profiles[i])
                view_.AddEntry(profiles[i]->GetFullName(), static_cast<int>(i));
        for (int e = 0; e < view_.EntryCount(); ++e) {
            const CVdxTopicInfo* p = ProfileOf(e);
            view_.SetEntrySelected(e, p && p->IsSelected() && p->IsSupported());
        }
        TakeSnapshot();
        if (!ComputeDiskFigures())
            return 1001;
    } catch (const std::exception&) {
        ShowMessage(57355, MessageIcon::Error);
        return 2;
    }
    view_.CheckReplaceRadio(replaceMode_ == 1 ? kRadioReplace : replaceMode_ == 0 ? kRadioSkip : kRadioAsk);
    UpdateButtons();
    return OnNext();
}

bool CTemplateDlg::ComputeDiskFigures() {
    std::string folder;
    if (auto& kernel = KernelConnection()) {
        for (int e = 0; e < view_.EntryCount(); ++e) {
            const CVdxTopicInfo* p = ProfileOf(e);
            std::string path;
            try {
                if (p && Succeeded(kernel->GetDirectionPath(p->GetDirID(), path)) && !path.empty())
                    folder = path;
            } catch (const std::exception&) { // failures are ignored
            }
        }
    }
    if (folder.empty()) {
        ShowMessage(1077);
        return false;
    }
    anySelected_ = false;
    required_ = 0;
    const std::uint32_t pass = NextCountingPass();
    std::error_code ec;
    const auto space = std::filesystem::space(folder, ec);
    for (int e = 0; e < view_.EntryCount(); ++e) {
        if (!view_.IsEntrySelected(e))
            continue;
        if (CVdxTopicInfo* p = ProfileOf(e))
            required_ += static_cast<std::uint64_t>(std::max<std::int64_t>(0, p->CountSize(pass)));
        anySelected_ = true;
    }
    if (!ec) {
        free_ = space.available;
        view_.SetFigures(FormatText(LoadString(1005), {FormatGroupedNumber(required_), FormatGroupedNumber(free_)}));
        view_.EnableNext(anySelected_);
    } else {
        // Without a free-space figure the page lets the user go on.
        free_ = required_;
        view_.EnableNext(true);
        anySelected_ = true;
    }
    return true;
}

void CTemplateDlg::SetEntrySelection(int entry, bool selected) {
    const CVdxTopicInfo* p = ProfileOf(entry);
    if (!p || !p->IsSupported())
        selected = false;
    view_.SetEntrySelected(entry, selected);
    if (CVdxTopicInfo* profile = ProfileOf(entry))
        profile->SetSelected(selected);
    UpdateButtons();
}

void CTemplateDlg::UpdateButtons() {
    int selected = 0;
    for (int e = 0; e < view_.EntryCount(); ++e)
        selected += view_.IsEntrySelected(e);
    view_.EnableSelectAll(selected < view_.EntryCount());
    view_.EnableDeselectAll(selected > 0);
}

void CTemplateDlg::TakeSnapshot() {
    snapshot_.clear();
    for (int e = 0; e < view_.EntryCount(); ++e)
        if (view_.IsEntrySelected(e))
            snapshot_.push_back(e);
}

void CTemplateDlg::OnSelectAll() {
    bool leftOut = false;
    for (int e = 0; e < view_.EntryCount(); ++e) {
        SetEntrySelection(e, true);
        leftOut |= !view_.IsEntrySelected(e);
    }
    if (leftOut)
        ShowMessage(2004);
    ComputeDiskFigures();
    UpdateButtons();
    TakeSnapshot();
    view_.FocusNext();
}

void CTemplateDlg::OnDeselectAll() {
    for (int e = 0; e < view_.EntryCount(); ++e)
        SetEntrySelection(e, false);
    ComputeDiskFigures();
    UpdateButtons();
    TakeSnapshot();
    view_.FocusBack();
}

void CTemplateDlg::OnListSelectionChanged() {
    // One change of the list may touch many entries (Ctrl+A, Shift+click, a drag): every entry
    // whose state differs from the snapshot takes it, so the profiles follow the list exactly.
    bool refused = false, counted = false;
    for (int e = 0; e < view_.EntryCount(); ++e) {
        const bool selected = view_.IsEntrySelected(e);
        if (selected == (std::find(snapshot_.begin(), snapshot_.end(), e) != snapshot_.end()))
            continue;
        SetEntrySelection(e, selected);
        const CVdxTopicInfo* p = ProfileOf(e);
        if (!p || !p->IsSupported())
            refused |= selected; // it stays deselected
        else
            counted = true;
    }
    if (refused)
        ShowMessage(2005); // once per change
    if (counted)
        ComputeDiskFigures();
    TakeSnapshot();
    UpdateButtons();
}

std::optional<int> CTemplateDlg::OnNext() {
    bool goOn = free_ >= required_;
    if (!goOn)
        goOn = ShowMessage(2003, MessageIcon::None, MessageButtons::YesNo) == MessageAnswer::Yes;
    const int radio = view_.CheckedReplaceRadio();
    replaceMode_ = radio == kRadioReplace ? 1 : radio == kRadioSkip ? 0 : 2;
    if (goOn)
        return 1;
    return std::nullopt;
}

} // namespace quillon
