#include "selection/CollectionPage.h"

#include "shell/Artwork.h"
#include "ui_CollectionPage.h"

#include <QKeyEvent>

namespace quillon {

CollectionPage::CollectionPage(QWidget* parent, std::string distributionFolder,
                               std::string setupIniPath, std::string raviriInfPath)
    : CWizardPage(parent), ui_(std::make_unique<Ui::CollectionPage>()),
      logic_(std::move(distributionFolder), std::move(setupIniPath), std::move(raviriInfPath),
             *this) {
    ui_->setupUi(this);
    TranslateTexts(this);
    setFixedSize(size());
    ui_->picture132->setPixmap(Bitmap132());
    ui_->ctl1012->setBuddy(ui_->ctl1052);
    connect(ui_->ctl1052, &QListWidget::itemSelectionChanged, this,
            [this] { logic_.OnSelectionChanged(); });
    ui_->ctl1052->installEventFilter(this);
    connect(ui_->ctl1, &QPushButton::clicked, this, &CollectionPage::OnNext);
    connect(ui_->ctl1001, &QPushButton::clicked, this, [this] { done(kPageBack); });
    connect(ui_->ctl2, &QPushButton::clicked, this, [this] { reject(); });
}

CollectionPage::~CollectionPage() = default;

bool CollectionPage::OnInitDialog() {
    if (logic_.Initialize()) {
        EndDuringInit(CSelectCollectionDlg::kResultNext);
        return false;
    }
    ui_->ctl1052->setFocus();
    return true;
}

// The list shows its first entry outlined but not selected when it gets the focus; the first
// arrow key then selects that entry instead of moving past it.
bool CollectionPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->ctl1052 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        QListWidgetItem* current = ui_->ctl1052->currentItem();
        if ((key == Qt::Key_Down || key == Qt::Key_Up) && current && ui_->ctl1052->selectedItems().isEmpty()) {
            current->setSelected(true);
            return true;
        }
    }
    return CWizardPage::eventFilter(watched, event);
}

void CollectionPage::OnNext() {
    try {
        if (logic_.OnNext())
            done(kPageNext);
    } catch (...) { // a failure while the page runs ends it with Cancel
        done(kPageCancel);
    }
}

void CollectionPage::ClearList() {
    ui_->ctl1052->clear();
}
void CollectionPage::AddEntry(const std::string& text, int itemData) {
    AddSortedEntry(ui_->ctl1052, text, itemData);
}
int CollectionPage::EntryCount() const {
    return ui_->ctl1052->count();
}
int CollectionPage::EntryData(int entry) const {
    return ui_->ctl1052->item(entry)->data(Qt::UserRole).toInt();
}
int CollectionPage::SelectedEntry() const {
    const auto selected = ui_->ctl1052->selectedItems();
    return selected.isEmpty() ? -1 : ui_->ctl1052->row(selected.front());
}
void CollectionPage::EnableNext(bool enabled) {
    ui_->ctl1->setEnabled(enabled);
}

} // namespace quillon
