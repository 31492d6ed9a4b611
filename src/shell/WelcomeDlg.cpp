#include "shell/WelcomeDlg.h"

#include "platform/posix/PosixAdministrator.h"
#include "shell/Artwork.h"
#include "support/Messages.h"
#include "support/Strings.h"
#include "ui_WelcomeDlg.h"

#include <QMetaObject>

namespace quillon {

namespace {
constexpr int kLegalNoticeId = 2950;
}

CWelcomeDlg::CWelcomeDlg(QWidget* parent, std::function<bool()> isAdministrator)
    : CWizardPage(parent), ui_(std::make_unique<Ui::CWelcomeDlg>()),
      isAdministrator_(std::move(isAdministrator)) {
    ui_->setupUi(this);
    TranslateTexts(this);
    setFixedSize(size());
    ui_->picture132->setPixmap(Bitmap132());
    ui_->staticNotice->setText(QString::fromStdString(LoadString(kLegalNoticeId)));
    if (!isAdministrator_)
        isAdministrator_ = [] { return posix::IsUserAdministrator(); };
    ConnectButtons();
}

CWelcomeDlg::~CWelcomeDlg() = default;

bool CWelcomeDlg::OnInitDialog() {
    rightsMissing_ = false;
    if (isAdministrator_())
        return true;
    ShowMessage(2027, MessageIcon::Error);
    rightsMissing_ = true;
    // The posted Cancel ends the page without the confirmation, since the flag is set.
    QMetaObject::invokeMethod(this, &CWelcomeDlg::reject, Qt::QueuedConnection);
    return false;
}

void CWelcomeDlg::OnCancel() {
    if (rightsMissing_ || ConfirmCancel(this))
        done(kPageCancel);
}

} // namespace quillon
