#pragma once
// CWelcomeDlg (dialog 130): the first page. Without administrator rights it shows message 2027
// and ends itself with Cancel without asking the confirmation; the wizard then ends.
#include "shell/WizardPage.h"

#include <functional>
#include <memory>

namespace Ui {
class CWelcomeDlg;
}

namespace quillon {

class CWelcomeDlg : public CWizardPage {
    Q_OBJECT
public:
    // `isAdministrator`: the administrator test (IsUserAdministrator when empty).
    explicit CWelcomeDlg(QWidget* parent, std::function<bool()> isAdministrator = {});
    ~CWelcomeDlg() override;

    bool RightsMissing() const { return rightsMissing_; }

protected:
    bool OnInitDialog() override;
    void OnCancel() override;

private:
    std::unique_ptr<Ui::CWelcomeDlg> ui_;
    std::function<bool()> isAdministrator_;
    bool rightsMissing_ = false;
};

} // namespace quillon
