#include "removal/RemovalPage.h"

#include "shell/Artwork.h"
#include "ui_RemovalPage.h"

#include <QApplication>

namespace quillon {
namespace {

// Runs a change the logic makes to a control without taking it for the user's.
class Updating {
public:
    explicit Updating(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~Updating() { flag_ = before_; }
    Updating(const Updating&) = delete;
    Updating& operator=(const Updating&) = delete;

private:
    bool& flag_;
    bool before_;
};

} // namespace

RemovalPage::RemovalPage(QWidget* parent)
    : CWizardPage(parent), ui_(std::make_unique<Ui::RemovalPage>()), logic_(*this) {
    ui_->setupUi(this);
    TranslateTexts(this);
    setFixedSize(size());
    ui_->picture132->setPixmap(Bitmap132());
    ui_->staticDirection->setBuddy(ui_->ctl1027);
    ui_->staticList->setBuddy(ui_->ctl1039);
    // The list shows its names in columns.
    ui_->ctl1039->setFlow(QListView::TopToBottom);
    ui_->ctl1039->setWrapping(true);
    ui_->ctl1039->setResizeMode(QListView::Adjust);
    const std::pair<QRadioButton*, RemovalMode> radios[] = {{ui_->ctl1023, RemovalMode::Chosen},
                                                            {ui_->ctl1025, RemovalMode::Direction},
                                                            {ui_->ctl1026, RemovalMode::All}};
    for (const auto& [radio, mode] : radios)
        connect(radio, &QRadioButton::toggled, this, [this, mode = mode](bool checked) {
            if (checked && !updating_)
                logic_.OnModeChosen(mode);
        });
    connect(ui_->ctl1027, &QComboBox::currentIndexChanged, this, [this] {
        if (!updating_)
            logic_.OnDirectionChanged();
    });
    connect(ui_->ctl1039, &QListWidget::itemSelectionChanged, this, [this] {
        if (!updating_)
            logic_.OnCollectionSelectionChanged();
    });
    connect(ui_->ctl2010, &QPushButton::clicked, this, [this] { logic_.OnRemove(); });
    connect(ui_->ctl1001, &QPushButton::clicked, this,
            [this] { done(CTemplateRemoveDlg::OnBack()); });
    connect(ui_->ctl2, &QPushButton::clicked, this, [this] { reject(); });
}

RemovalPage::~RemovalPage() = default;

bool RemovalPage::OnInitDialog() {
    if (const auto result = logic_.OnInitDialog()) {
        EndDuringInit(*result);
        return false;
    }
    return true;
}

void RemovalPage::OnCancel() {
    if (logic_.OnCancel())
        done(CTemplateRemoveDlg::kResultCancel);
}

std::string RemovalPage::CurrentDirection() {
    return ui_->ctl1027->currentText().toStdString();
}
void RemovalPage::EnableDirections(bool enabled) {
    ui_->ctl1027->setEnabled(enabled);
}
void RemovalPage::ClearCollections() {
    Updating updating(updating_);
    ui_->ctl1039->clear();
}
void RemovalPage::AddCollection(const std::string& name) {
    Updating updating(updating_);
    AddSortedEntry(ui_->ctl1039, name, ui_->ctl1039->count());
}
int RemovalPage::CollectionCount() {
    return ui_->ctl1039->count();
}
std::string RemovalPage::CollectionText(int index) {
    return ui_->ctl1039->item(index)->text().toStdString();
}
bool RemovalPage::IsCollectionSelected(int index) {
    return ui_->ctl1039->item(index)->isSelected();
}
void RemovalPage::SelectCollection(int index, bool selected) {
    Updating updating(updating_);
    ui_->ctl1039->item(index)->setSelected(selected);
}
void RemovalPage::EnableCollections(bool enabled) {
    ui_->ctl1039->setEnabled(enabled);
}
void RemovalPage::CheckMode(RemovalMode mode) {
    Updating updating(updating_);
    if (auto* radio =
            findChild<QRadioButton*>(QStringLiteral("ctl%1").arg(static_cast<int>(mode)))) {
        radio->setChecked(true);
        radio->setFocus();
    }
}
void RemovalPage::EnableRemove(bool enabled) {
    ui_->ctl2010->setEnabled(enabled);
}
void RemovalPage::ShowWaitCursor(bool shown) {
    if (shown)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}
void RemovalPage::Beep() {
    QApplication::beep();
}
bool RemovalPage::ConfirmCancel() {
    return quillon::ConfirmCancel(this);
}
void RemovalPage::AddString(const std::string& text) {
    Updating updating(updating_);
    ui_->ctl1027->addItem(QString::fromStdString(text));
}
void RemovalPage::SelectFirst() {
    Updating updating(updating_);
    ui_->ctl1027->setCurrentIndex(ui_->ctl1027->count() > 0 ? 0 : -1);
}

} // namespace quillon
