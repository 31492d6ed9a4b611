#include "shell/AddRemoveDlg.h"

#include "shell/Artwork.h"
#include "ui_AddRemoveDlg.h"

namespace quillon {

CAddRemoveDlg::CAddRemoveDlg(QWidget* parent)
    : CWizardPage(parent), ui_(std::make_unique<Ui::CAddRemoveDlg>()) {
    ui_->setupUi(this);
    TranslateTexts(this);
    setFixedSize(size());
    ui_->picture132->setPixmap(Bitmap132());
    connect(ui_->ctl2009, &QRadioButton::toggled, this, [this] { UpdateAction(); });
    connect(ui_->ctl2010, &QRadioButton::toggled, this, [this] { UpdateAction(); });
    ConnectButtons();
}

CAddRemoveDlg::~CAddRemoveDlg() = default;

bool CAddRemoveDlg::OnInitDialog() {
    ui_->ctl2009->setChecked(true);
    ui_->ctl2009->setFocus();
    UpdateAction();
    return true;
}

void CAddRemoveDlg::UpdateAction() {
    if (ui_->ctl2009->isChecked())
        action_ = WizardAction::Install;
    else if (ui_->ctl2010->isChecked())
        action_ = WizardAction::Remove;
    else
        action_ = WizardAction::None;
}

} // namespace quillon
