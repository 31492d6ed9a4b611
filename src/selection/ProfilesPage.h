#pragma once
// ProfilesPage: the profile page's window (dialog 174) over CTemplateDlg. Its Next logic runs at
// the end of initialisation, so the page is seen only when the disk space looks short and the
// user answered No to message 2003; otherwise it ends before it is shown.
#include "model/DictCollection.h"
#include "model/SmartPtr.h"
#include "selection/ProfileSelectionView.h"
#include "selection/TemplateDlg.h"
#include "shell/WizardPage.h"

#include <memory>

namespace Ui {
class ProfilesPage;
}

namespace quillon {

class ProfilesPage : public CWizardPage, private ProfileSelectionView {
    Q_OBJECT
public:
    ProfilesPage(QWidget* parent, CSmartPtr<CDictCollection> collection);
    ~ProfilesPage() override;

    // After Run answered 1: whether any profile is selected, and the replace mode (0, 1, 2).
    bool AnySelected() const { return logic_.AnySelected(); }
    int ReplaceMode() const { return logic_.ReplaceMode(); }

protected:
    bool OnInitDialog() override;

private:
    void ClearList() override;
    void AddEntry(const std::string& text, int itemData) override;
    int EntryCount() const override;
    int EntryData(int entry) const override;
    bool IsEntrySelected(int entry) const override;
    void SetEntrySelected(int entry, bool selected) override;
    void SetFigures(const std::string& text) override;
    void EnableNext(bool enabled) override;
    void EnableSelectAll(bool enabled) override;
    void EnableDeselectAll(bool enabled) override;
    void CheckReplaceRadio(int radio) override;
    int CheckedReplaceRadio() const override;
    void FocusNext() override;
    void FocusBack() override;

    std::unique_ptr<Ui::ProfilesPage> ui_;
    CTemplateDlg logic_;
    bool settingSelection_ = false; // selection changes made by the logic, not by the user
};

} // namespace quillon
