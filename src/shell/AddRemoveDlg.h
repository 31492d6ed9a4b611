#pragma once
// CAddRemoveDlg (dialog 165): install a collection (radio 2009, checked whenever the page opens)
// or remove collections (radio 2010).
#include "shell/WizardPage.h"

#include <memory>

namespace Ui {
class CAddRemoveDlg;
}

namespace quillon {

class CAddRemoveDlg : public CWizardPage {
    Q_OBJECT
public:
    explicit CAddRemoveDlg(QWidget* parent);
    ~CAddRemoveDlg() override;

    // The id of the checked radio button: 2009, 2010, or None when neither is checked.
    WizardAction ChosenAction() const { return action_; }

protected:
    bool OnInitDialog() override;

private:
    void UpdateAction();

    std::unique_ptr<Ui::CAddRemoveDlg> ui_;
    WizardAction action_ = WizardAction::None;
};

} // namespace quillon
