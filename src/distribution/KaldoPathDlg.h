#pragma once
// CKaldoPathDlg (dialog 172): asks for the distribution folder. It only collects a path; whether
// the folder holds a distribution is the caller's decision. OK (1) is enabled exactly when the
// path is not empty; Cancel (2) asks the cancel confirmation first. "&Обзор..." opens the folder
// browser with string 1003 as title.
#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class CKaldoPathDlg;
}

namespace quillon {

class CKaldoPathDlg : public QDialog {
    Q_OBJECT
public:
    // The folder browser the page calls (BrowseForFolder unless replaced).
    using Browser = std::function<bool(QWidget* owner, const QString& title, QString& path)>;

    // The installer passes "setup.inf", 3, the main window and 1; in mode 3 the prompt is
    // string 1072. The file name and the flag play no part in what the page does.
    CKaldoPathDlg(const QString& fileName, int mode, QWidget* owner, bool flag);
    ~CKaldoPathDlg() override;

    // The path field: set before Run to pre-fill the page; after OK the edit control's text.
    QString path;
    QString prompt;

    void SetBrowser(Browser browser) { browser_ = std::move(browser); }

    // Runs the page modally: 1 (OK) or 2 (Cancel).
    int Run();

    void accept() override;
    void reject() override;

private:
    void ControlsToFields();
    void FieldsToControls();
    void UpdateOk();
    void OnBrowse();

    std::unique_ptr<Ui::CKaldoPathDlg> ui_;
    Browser browser_;
};

} // namespace quillon
