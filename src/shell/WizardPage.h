#pragma once
// CWizardPage: what every wizard page has in common. A page is a modal QDialog owned by the main
// window; it ends with a page result: Next 1, Back 1001, Cancel 2 (after confirmation). Its
// controls carry their ids as object names ("ctl1" Next, "ctl1001" Back, "ctl2" Cancel), which
// ConnectButtons wires up. Cancel, the Escape key and the close box all reach OnCancel.
#include "shell/WizardHost.h"

#include <QDialog>
#include <optional>
#include <string>

class QListWidget;

namespace quillon {

class CWizardPage : public QDialog {
    Q_OBJECT
public:
    explicit CWizardPage(QWidget* parent);

    // Prepares the page (OnInitDialog) and runs it modally; answers the page result.
    int Run();

    // "VANTEL_GO_HOME": a page that handles it ends at once with Cancel (ending an open cancel
    // confirmation first) and answers true; other pages ignore it and answer false.
    virtual bool OnGoHome();

    // Cancel, Escape and the close box.
    void reject() override;

protected:
    // Called by Run before the page is shown; false when the page has ended itself (posted, or
    // with EndDuringInit).
    virtual bool OnInitDialog() { return true; }
    // From OnInitDialog: the page ends with `result` before it is ever shown.
    void EndDuringInit(int result) { initResult_ = result; }
    // Asks ConfirmCancel and ends the page with Cancel when the user confirms.
    virtual void OnCancel();
    // Wires the buttons named ctl1, ctl1001 and ctl2 found among the page's children.
    void ConnectButtons();
    // Ends the page with Cancel without asking (also closes an open confirmation).
    void EndWithCancel();

private:
    std::optional<int> initResult_;
};

// The cancel confirmation every page asks: true when the user pressed "&Да ".
bool ConfirmCancel(QWidget* parent);

// Puts the interface language's texts into a dialog made from a .ui file: each text whose id
// ("<dialog>.<property>", "<dialog>.<object>.<property>" for windowTitle, text, title,
// accessibleName, accessibleDescription) the installed catalogue has; the others stay. Then
// FitTexts.
void TranslateTexts(QWidget* dialog);

// Lets every static text of a dialog placed by geometry show whole, in whatever language: a
// label whose text needs more lines than its height holds grows, what lies below it moves down
// and the dialog grows with it (a one-line label too narrow for its text wraps first).
void FitTexts(QWidget* dialog);

// Adds an entry to a sorted list box (ListSortsBefore order, after its equals) whose item data
// (Qt::UserRole) is `data`; answers the entry's row.
int AddSortedEntry(QListWidget* list, const std::string& text, int data);

// A static control's text as the dialog convention writes it: "&&" shows one '&', a single '&'
// marks the mnemonic and is not shown.
QString StaticText(const std::string& dialogText);

// Pixels of dialog units of the pages' 8-point dialog font (4 horizontal units per average
// character width of 6 pixels, 8 vertical units per 13-pixel line).
constexpr int DluX(int units) {
    return (units * 3 + 1) / 2;
}
constexpr int DluY(int units) {
    return (units * 13 + 4) / 8;
}

} // namespace quillon
