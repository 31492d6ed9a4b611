#pragma once
// CConfirmDlg (dialog 135): "Вы уверены, что хотите прервать установку коллекции словарей?"
// "&Да " answers 1, "&Нет" (and Escape, the close box) 2. It does not handle "VANTEL_GO_HOME";
// the page that asked it closes it when the page itself ends that way.
#include <QDialog>
#include <memory>

namespace Ui {
class CConfirmDlg;
}

namespace quillon {

class CConfirmDlg : public QDialog {
    Q_OBJECT
public:
    explicit CConfirmDlg(QWidget* parent);
    ~CConfirmDlg() override;
    void reject() override;

private:
    std::unique_ptr<Ui::CConfirmDlg> ui_;
};

} // namespace quillon
