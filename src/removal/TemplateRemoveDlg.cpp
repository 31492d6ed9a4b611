#include "removal/TemplateRemoveDlg.h"

#include "product/ComError.h"
#include "product/KernelConnection.h"
#include "support/Messages.h"
#include "support/Text.h"

#include <exception>

namespace quillon {

namespace {

// The wait cursor for the length of a removal, taken down on every path.
class WaitCursor {
public:
    explicit WaitCursor(RemovalView& view) : view_(view) { view_.ShowWaitCursor(true); }
    ~WaitCursor() { view_.ShowWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    RemovalView& view_;
};

// The connection after ConnectKernel succeeded; raises rather than answer a null service.
KernelService& Kernel() {
    auto& kernel = KernelConnection();
    if (!kernel)
        throw ComError(E_POINTER, "no kernel service");
    return *kernel;
}

} // namespace

CTemplateRemoveDlg::CTemplateRemoveDlg(RemovalView& view) : view_(view) {}

std::optional<int> CTemplateRemoveDlg::OnInitDialog() {
    try {
        OnModeChosen(RemovalMode::Chosen);
        // The page works with an instance of its own: the one kept since start-up may be stale.
        ReleaseKernelConnection();
        if (!ConnectKernel())
            return std::nullopt; // empty lists; the user may still go Back or leave
        if (!FillDirectionList(view_.Directions(), &names_))
            return kResultCancel;
        if (!FillCollectionList()) {
            ShowMessage(57355, MessageIcon::Error);
            return kResultCancel;
        }
        OnModeChosen(RemovalMode::Chosen);
        return std::nullopt;
    } catch (const std::exception&) {
        ShowMessage(57355, MessageIcon::Error);
        return kResultCancel;
    }
}

std::uint32_t CTemplateRemoveDlg::CurrentDirection() {
    const auto it = names_.find(view_.CurrentDirection());
    return it == names_.end() ? 0 : it->second;
}

bool CTemplateRemoveDlg::FillCollectionList() {
    view_.ClearCollections();
    const std::uint32_t direction = CurrentDirection();
    if (!KernelConnection() && !ConnectKernel())
        return false;
    try {
        KernelService& kernel = Kernel();
        std::uint16_t count = 0;
        ThrowIfFailed(kernel.GetCollectionCount(direction, count));
        for (std::uint16_t index = 0; index < count; ++index) {
            std::int32_t state = 0;
            ThrowIfFailed(kernel.GetCollectionState(direction, index, state));
            if (state != 0)
                continue;
            std::string name;
            ThrowIfFailed(kernel.GetCollectionName(direction, index, name));
            view_.AddCollection(name);
        }
        return true;
    } catch (const ComError& error) {
        view_.Beep();
        ShowText(error.Description(), MessageIcon::Error);
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

bool CTemplateRemoveDlg::AnySelected() {
    const int count = view_.CollectionCount();
    for (int i = 0; i < count; ++i)
        if (view_.IsCollectionSelected(i))
            return true;
    return false;
}

void CTemplateRemoveDlg::DeselectAll() {
    const int count = view_.CollectionCount();
    for (int i = 0; i < count; ++i)
        view_.SelectCollection(i, false);
}

void CTemplateRemoveDlg::OnModeChosen(RemovalMode mode) {
    mode_ = mode;
    view_.CheckMode(mode);
    switch (mode) {
    case RemovalMode::Chosen:
        view_.EnableDirections(true);
        view_.EnableCollections(true);
        view_.EnableRemove(AnySelected());
        break;
    case RemovalMode::Direction:
        view_.EnableDirections(true);
        DeselectAll();
        view_.EnableCollections(false);
        view_.EnableRemove(view_.CollectionCount() > 0);
        break;
    case RemovalMode::All:
        view_.EnableDirections(false);
        DeselectAll();
        view_.EnableCollections(false);
        view_.EnableRemove(true);
        break;
    }
}

bool CTemplateRemoveDlg::OnDirectionChanged() {
    const bool filled = FillCollectionList();
    DeselectAll();
    view_.EnableRemove(view_.CollectionCount() > 0 && mode_ == RemovalMode::Direction);
    return filled;
}

void CTemplateRemoveDlg::OnCollectionSelectionChanged() {
    view_.EnableRemove(AnySelected());
}

int FindCollectionEntry(RemovalView& view, const std::string& name) {
    // An entry of the same spelling wins over one differing in letter case only, so that the
    // choice of one of two such collections never removes the other.
    const int count = view.CollectionCount();
    int folded = -1;
    for (int i = 0; i < count; ++i) {
        const std::string text = view.CollectionText(i);
        if (text == name)
            return i;
        if (folded < 0 && EqualsNoCase(text, name))
            folded = i;
    }
    return folded;
}

void CTemplateRemoveDlg::RemoveChosen(std::uint32_t direction) {
    KernelService& kernel = Kernel();
    std::uint16_t count = 0;
    ThrowIfFailed(kernel.GetCollectionCount(direction, count));
    // From the highest index down: a removal moves only the collections above it.
    for (int index = count - 1; index >= 0; --index) {
        const auto at = static_cast<std::uint16_t>(index);
        std::string name;
        ThrowIfFailed(kernel.GetCollectionName(direction, at, name));
        const int entry = FindCollectionEntry(view_, name);
        if (entry < 0 || !view_.IsCollectionSelected(entry))
            continue;
        RemovalRecord record{name, S_OK};
        try {
            // A collection the list leaves out is never removed, whatever its name.
            std::int32_t state = 0;
            ThrowIfFailed(kernel.GetCollectionState(direction, at, state));
            if (state != 0)
                continue;
            ThrowIfFailed(kernel.RemoveCollection(direction, at));
        } catch (const ComError& error) {
            record.error = error.Error();
            view_.Beep();
            if (error.Error() == KLDO_E_LOCKED)
                ShowMessage(2032, MessageIcon::Error, MessageButtons::Ok, {name});
            else if (error.Error() == KLDO_E_IN_USE)
                ShowMessage(2034, MessageIcon::Error, MessageButtons::Ok, {name});
            else
                ShowText(error.Description(), MessageIcon::Error);
        } catch (const std::exception&) {
            record.error = E_UNEXPECTED;
            ShowMessage(57355);
        }
        records_.push_back(std::move(record));
    }
}

void CTemplateRemoveDlg::OnRemove() {
    WaitCursor wait(view_);
    records_.clear();
    connected_ = false;
    const std::uint32_t direction = CurrentDirection();
    ReleaseKernelConnection();
    if (!ConnectKernel())
        return;
    connected_ = true;
    try {
        switch (mode_) {
        case RemovalMode::Chosen:
            RemoveChosen(direction);
            break;
        case RemovalMode::Direction:
            ThrowIfFailed(Kernel().RemoveDirectionCollections(direction));
            records_.push_back({});
            break;
        case RemovalMode::All:
            ThrowIfFailed(Kernel().RemoveAllCollections());
            records_.push_back({});
            break;
        }
    } catch (const ComError& error) {
        records_.push_back({std::string(), error.Error()});
        view_.Beep();
        ShowText(error.Description(), MessageIcon::Error);
        return;
    } catch (const std::exception&) {
        records_.push_back({std::string(), E_UNEXPECTED});
        ShowMessage(57355);
        return;
    }
    FillCollectionList();
    view_.EnableRemove(AnySelected());
}

bool CTemplateRemoveDlg::OnCancel() {
    return view_.ConfirmCancel();
}

} // namespace quillon
