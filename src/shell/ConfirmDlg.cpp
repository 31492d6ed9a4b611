#include "shell/ConfirmDlg.h"

#include "shell/Artwork.h"
#include "shell/WizardHost.h"
#include "shell/WizardPage.h"
#include "ui_ConfirmDlg.h"

namespace quillon {

CConfirmDlg::CConfirmDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CConfirmDlg>()) {
    ui_->setupUi(this);
    TranslateTexts(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui_->icon178->setPixmap(Icon178());
    connect(ui_->ctl1, &QPushButton::clicked, this, [this] { done(kPageNext); });
    connect(ui_->ctl2, &QPushButton::clicked, this, [this] { done(kPageCancel); });
}

CConfirmDlg::~CConfirmDlg() = default;

void CConfirmDlg::reject() {
    done(kPageCancel);
}

} // namespace quillon
