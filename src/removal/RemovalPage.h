#pragma once
// RemovalPage: the collection removal page's window (dialog 175) over CTemplateRemoveDlg. The
// driver shows it until the user goes Back (1001) or leaves (2: Exit after the confirmation, or
// "VANTEL_GO_HOME").
#include "removal/RemovalView.h"
#include "removal/TemplateRemoveDlg.h"
#include "shell/WizardPage.h"

#include <memory>

namespace Ui {
class RemovalPage;
}

namespace quillon {

class RemovalPage : public CWizardPage, private RemovalView, private DirectionListPort {
    Q_OBJECT
public:
    explicit RemovalPage(QWidget* parent);
    ~RemovalPage() override;

    const CTemplateRemoveDlg& Logic() const { return logic_; }

protected:
    bool OnInitDialog() override;
    void OnCancel() override;

private:
    DirectionListPort& Directions() override { return *this; }
    std::string CurrentDirection() override;
    void EnableDirections(bool enabled) override;
    void ClearCollections() override;
    void AddCollection(const std::string& name) override;
    int CollectionCount() override;
    std::string CollectionText(int index) override;
    bool IsCollectionSelected(int index) override;
    void SelectCollection(int index, bool selected) override;
    void EnableCollections(bool enabled) override;
    void CheckMode(RemovalMode mode) override;
    void EnableRemove(bool enabled) override;
    void ShowWaitCursor(bool shown) override;
    void Beep() override;
    bool ConfirmCancel() override;

    void AddString(const std::string& text) override;
    void SelectFirst() override;

    std::unique_ptr<Ui::RemovalPage> ui_;
    CTemplateRemoveDlg logic_;
    bool updating_ = false; // changes made by the logic, not by the user
};

} // namespace quillon
