#include "selection/ProfilesPage.h"

#include "shell/Artwork.h"
#include "ui_ProfilesPage.h"

namespace quillon {

ProfilesPage::ProfilesPage(QWidget* parent, CSmartPtr<CDictCollection> collection)
    : CWizardPage(parent), ui_(std::make_unique<Ui::ProfilesPage>()),
      logic_(std::move(collection), *this) {
    ui_->setupUi(this);
    TranslateTexts(this);
    setFixedSize(size());
    ui_->picture132->setPixmap(Bitmap132());
    ui_->staticPrompt->setBuddy(ui_->ctl1039);
    connect(ui_->ctl1039, &QListWidget::itemSelectionChanged, this, [this] {
        if (!settingSelection_)
            logic_.OnListSelectionChanged();
    });
    // Selecting entries does not scroll the list: select all and deselect all keep its position.
    connect(ui_->ctl1029, &QPushButton::clicked, this, [this] { logic_.OnSelectAll(); });
    connect(ui_->ctl1030, &QPushButton::clicked, this, [this] { logic_.OnDeselectAll(); });
    connect(ui_->ctl1, &QPushButton::clicked, this, [this] {
        if (const auto result = logic_.OnNext())
            done(*result);
    });
    connect(ui_->ctl1001, &QPushButton::clicked, this, [this] { done(kPageBack); });
    connect(ui_->ctl2, &QPushButton::clicked, this, [this] { reject(); });
}

ProfilesPage::~ProfilesPage() = default;

bool ProfilesPage::OnInitDialog() {
    if (const auto result = logic_.Initialize()) {
        EndDuringInit(*result);
        return false;
    }
    ui_->ctl1039->setFocus();
    return true;
}

void ProfilesPage::ClearList() {
    settingSelection_ = true;
    ui_->ctl1039->clear();
    settingSelection_ = false;
}
void ProfilesPage::AddEntry(const std::string& text, int itemData) {
    settingSelection_ = true;
    AddSortedEntry(ui_->ctl1039, text, itemData);
    settingSelection_ = false;
}
int ProfilesPage::EntryCount() const {
    return ui_->ctl1039->count();
}
int ProfilesPage::EntryData(int entry) const {
    return ui_->ctl1039->item(entry)->data(Qt::UserRole).toInt();
}
bool ProfilesPage::IsEntrySelected(int entry) const {
    return ui_->ctl1039->item(entry)->isSelected();
}
void ProfilesPage::SetEntrySelected(int entry, bool selected) {
    settingSelection_ = true;
    ui_->ctl1039->item(entry)->setSelected(selected);
    settingSelection_ = false;
}
void ProfilesPage::SetFigures(const std::string& text) {
    ui_->ctl1002->setText(QString::fromStdString(text));
}
void ProfilesPage::EnableNext(bool enabled) {
    ui_->ctl1->setEnabled(enabled);
}
void ProfilesPage::EnableSelectAll(bool enabled) {
    ui_->ctl1029->setEnabled(enabled);
}
void ProfilesPage::EnableDeselectAll(bool enabled) {
    ui_->ctl1030->setEnabled(enabled);
}
void ProfilesPage::CheckReplaceRadio(int radio) {
    if (auto* button = findChild<QRadioButton*>(QStringLiteral("ctl%1").arg(radio)))
        button->setChecked(true);
}
int ProfilesPage::CheckedReplaceRadio() const {
    if (ui_->ctl1048->isChecked())
        return kRadioReplace;
    if (ui_->ctl1049->isChecked())
        return kRadioSkip;
    return ui_->ctl1050->isChecked() ? kRadioAsk : 0;
}
void ProfilesPage::FocusNext() {
    ui_->ctl1->setFocus();
}
void ProfilesPage::FocusBack() {
    ui_->ctl1001->setFocus();
}

} // namespace quillon
