#include "distribution/KaldoPathDlg.h"

#include "distribution/BrowseForFolder.h"
#include "shell/WizardPage.h"
#include "support/Strings.h"
#include "ui_KaldoPathDlg.h"

namespace quillon {

namespace {
constexpr int kPromptId = 1072;
constexpr int kBrowseTitleId = 1003;
} // namespace

CKaldoPathDlg::CKaldoPathDlg(const QString&, int mode, QWidget* owner, bool)
    : QDialog(owner), ui_(std::make_unique<Ui::CKaldoPathDlg>()), browser_(BrowseForFolder) {
    ui_->setupUi(this);
    TranslateTexts(this);
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui_->ctl1006->setBuddy(ui_->ctl1036); // the prompt names the path field
    if (mode == 3)
        prompt = QString::fromStdString(LoadString(kPromptId));
    else
        prompt = ui_->ctl1006->text();
    connect(ui_->ctl1036, &QLineEdit::textChanged, this, [this] {
        ControlsToFields();
        UpdateOk();
    });
    connect(ui_->ctl1035, &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(ui_->ctl1, &QPushButton::clicked, this, [this] { accept(); });
    connect(ui_->ctl2, &QPushButton::clicked, this, [this] { reject(); });
}

CKaldoPathDlg::~CKaldoPathDlg() = default;

int CKaldoPathDlg::Run() {
    FieldsToControls();
    UpdateOk();
    ui_->ctl1036->setFocus();
    return exec();
}

void CKaldoPathDlg::ControlsToFields() {
    path = ui_->ctl1036->text();
}

void CKaldoPathDlg::FieldsToControls() {
    ui_->ctl1006->setText(prompt);
    ui_->ctl1036->setText(path);
}

void CKaldoPathDlg::UpdateOk() {
    ui_->ctl1->setEnabled(!path.isEmpty());
}

void CKaldoPathDlg::OnBrowse() {
    ControlsToFields();
    QString chosen = path;
    if (browser_ && browser_(this, QString::fromStdString(LoadString(kBrowseTitleId)), chosen)) {
        path = chosen;
        FieldsToControls();
    }
    UpdateOk();
}

// Enter reaches OK only while it is enabled; no check of the path is made here.
void CKaldoPathDlg::accept() {
    if (!ui_->ctl1->isEnabled())
        return;
    ControlsToFields();
    done(kPageNext);
}

void CKaldoPathDlg::reject() {
    if (ConfirmCancel(this))
        done(kPageCancel);
}

} // namespace quillon
