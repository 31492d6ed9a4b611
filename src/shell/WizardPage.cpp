#include "shell/WizardPage.h"

#include "shell/ConfirmDlg.h"

#include <QMetaObject>
#include <cstdio>
#include <QPushButton>

namespace quillon {

CWizardPage::CWizardPage(QWidget* parent) : QDialog(parent) {
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
}

int CWizardPage::Run() {
    OnInitDialog();
    // For unattended runs and tests: which page opens ("page CWelcomeDlg").
    if (qEnvironmentVariableIsSet("QUILLON_TRACE_PAGES"))
        std::fprintf(stderr, "page %s\n", qPrintable(objectName()));
    return exec();
}

void CWizardPage::ConnectButtons() {
    if (auto* next = findChild<QPushButton*>("ctl1"))
        connect(next, &QPushButton::clicked, this, [this] { done(kPageNext); });
    if (auto* back = findChild<QPushButton*>("ctl1001"))
        connect(back, &QPushButton::clicked, this, [this] { done(kPageBack); });
    if (auto* cancel = findChild<QPushButton*>("ctl2"))
        connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void CWizardPage::reject() {
    OnCancel();
}

void CWizardPage::OnCancel() {
    if (ConfirmCancel(this))
        done(kPageCancel);
}

void CWizardPage::EndWithCancel() {
    for (auto* confirm : findChildren<CConfirmDlg*>())
        if (confirm->isVisible())
            confirm->done(kPageCancel);
    done(kPageCancel);
}

bool CWizardPage::OnGoHome() {
    EndWithCancel();
    return true;
}

bool ConfirmCancel(QWidget* parent) {
    CConfirmDlg confirm(parent);
    return confirm.exec() == kPageNext;
}

} // namespace quillon
