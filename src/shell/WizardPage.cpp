#include "shell/WizardPage.h"

#include "shell/ConfirmDlg.h"
#include "support/Strings.h"
#include "support/Text.h"

#include <QLabel>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <cstdio>

namespace quillon {

CWizardPage::CWizardPage(QWidget* parent) : QDialog(parent) {
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
}

int CWizardPage::Run() {
    initResult_.reset();
    OnInitDialog();
    if (initResult_)
        return *initResult_;
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

void TranslateTexts(QWidget* dialog) {
    const auto apply = [](QObject* object, const QString& id) {
        for (const char* property : {"windowTitle", "text", "title", "accessibleName", "accessibleDescription"}) {
            if (object->metaObject()->indexOfProperty(property) < 0)
                continue;
            const std::string text = LoadText((id + "." + property).toStdString(), {});
            if (!text.empty())
                object->setProperty(property, QString::fromStdString(text));
        }
    };
    const QString name = dialog->objectName();
    apply(dialog, name);
    for (QWidget* child : dialog->findChildren<QWidget*>())
        if (!child->objectName().isEmpty())
            apply(child, name + "." + child->objectName());
    FitTexts(dialog);
}

namespace {

// Makes `widget` (placed by geometry) `delta` pixels taller below `bottom`: the siblings below
// that line move down, and its parent grows the same way, up to the dialog.
void GrowBelow(QWidget* widget, int bottom, int delta, QWidget* dialog) {
    widget->resize(widget->width(), widget->height() + delta);
    QWidget* parent = widget->parentWidget();
    if (!parent || parent->layout())
        return;
    for (QObject* object : parent->children()) {
        auto* sibling = qobject_cast<QWidget*>(object);
        if (sibling && sibling != widget && !sibling->isWindow() && sibling->y() >= bottom)
            sibling->move(sibling->x(), sibling->y() + delta);
    }
    if (parent == dialog) {
        dialog->resize(dialog->width(), dialog->height() + delta);
        return;
    }
    GrowBelow(parent, parent->mapTo(parent->parentWidget(), QPoint(0, bottom)).y(), delta, dialog);
}

} // namespace

void FitTexts(QWidget* dialog) {
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->pixmap().isNull() || !label->parentWidget() ||
            label->parentWidget()->layout())
            continue;
        // A one-line text wider than its place wraps.
        if (!label->wordWrap() && label->sizeHint().width() > label->width() && label->text().contains(' '))
            label->setWordWrap(true);
        if (!label->wordWrap())
            continue;
        const int needed = label->heightForWidth(label->width());
        if (needed > label->height())
            GrowBelow(label, label->y() + label->height(), needed - label->height(), dialog);
    }
}

int AddSortedEntry(QListWidget* list, const std::string& text, int data) {
    int low = 0, high = list->count();
    while (low < high) { // the first entry that sorts after `text`
        const int middle = (low + high) / 2;
        if (ListSortsBefore(text, list->item(middle)->text().toStdString()))
            high = middle;
        else
            low = middle + 1;
    }
    auto* item = new QListWidgetItem(QString::fromStdString(text));
    item->setData(Qt::UserRole, data);
    list->insertItem(low, item);
    return low;
}

QString StaticText(const std::string& dialogText) {
    std::string shown;
    shown.reserve(dialogText.size());
    for (std::size_t i = 0; i < dialogText.size(); ++i) {
        if (dialogText[i] != '&') {
            shown += dialogText[i];
        } else if (i + 1 < dialogText.size() && dialogText[i + 1] == '&') {
            shown += '&';
            ++i;
        }
    }
    return QString::fromStdString(shown);
}

bool ConfirmCancel(QWidget* parent) {
    CConfirmDlg confirm(parent);
    return confirm.exec() == kPageNext;
}

} // namespace quillon
