#include "install/ProgressPage.h"

#include "shell/Artwork.h"
#include "support/Strings.h"
#include "ui_ProgressPage.h"

#include <QApplication>
#include <QLabel>
#include <QMetaObject>

namespace quillon {
namespace {

// The templates' controls, hidden until the engine shows them (2021, 2022, 1011 and 1012 stay
// hidden: the engine updates them without showing them).
constexpr int kTemplateControls[] = {kCtlItem,          kCtlTotalDictionaries, kCtlDictionaryNumber,
                                     kCtlTotalProfiles, kCtlProfileNumber,     kCtlTotalBasesTM,
                                     kCtlBaseTMNumber};

// The finished overlay of the taskbar button (icon 143).
constexpr const char* kFinishedOverlay = "143";

} // namespace

ProgressPage::ProgressPage(QWidget* parent, CSmartPtr<CDictCollection> collection,
                           std::string sourceFolder)
    : CWizardPage(parent), ui_(std::make_unique<Ui::ProgressPage>()),
      engine_(std::move(collection), std::move(sourceFolder), *this) {
    ui_->setupUi(this);
    TranslateTexts(this);
    setFixedSize(size());
    ui_->picture132->setPixmap(Bitmap132());
    for (int control : kTemplateControls)
        if (auto* label = qobject_cast<QLabel*>(Control(control)))
            initialTexts_[control] = label->text().toStdString();
    for (int control : {kCtlTotalDictionaries, kCtlDictionaryNumber, kCtlTotalProfiles,
                        kCtlProfileNumber, kCtlTotalBasesTM, kCtlBaseTMNumber})
        Control(control)->hide();
    connect(ui_->ctl2, &QPushButton::clicked, this, [this] { reject(); });
}

ProgressPage::~ProgressPage() = default;

bool ProgressPage::OnInitDialog() {
    setWindowTitle(QString::fromStdString(LoadString(1000)));
    // The installation starts once the page is on screen and its event loop runs.
    QMetaObject::invokeMethod(this, &ProgressPage::Start, Qt::QueuedConnection);
    return true;
}

void ProgressPage::Start() {
    running_ = true;
    show();
    repaint();
    const int result = engine_.Run();
    running_ = false;
    done(goHome_ ? kPageCancel : result);
}

// A confirmed cancel stops the engine at its next checkpoint; the page stays until then.
void ProgressPage::reject() {
    if (engine_.RequestCancel() && !running_)
        done(kPageCancel);
}

bool ProgressPage::OnGoHome() {
    if (!engine_.RequestCancel())
        return true;
    if (running_)
        goHome_ = true; // the page ends with Cancel once the engine has stopped
    else
        done(kPageCancel);
    return true;
}

QWidget* ProgressPage::Control(int control) const {
    return findChild<QWidget*>(QStringLiteral("ctl%1").arg(control));
}

WindowId ProgressPage::TaskbarWindow() const {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : this;
    return static_cast<WindowId>(owner->winId());
}

std::string ProgressPage::InitialText(int control) {
    const auto it = initialTexts_.find(control);
    return it != initialTexts_.end() ? it->second : DefaultProgressText(control);
}

void ProgressPage::SetText(int control, const std::string& text) {
    if (auto* label = qobject_cast<QLabel*>(Control(control)))
        label->setText(StaticText(text));
}

void ProgressPage::ShowControl(int control, bool visible) {
    if (QWidget* widget = Control(control))
        widget->setVisible(visible);
}

void ProgressPage::SetProgress(std::uint32_t position, std::uint32_t range) {
    ui_->ctl1005->setRange(0, static_cast<int>(std::min<std::uint32_t>(range, 0x7FFFFFFF)));
    ui_->ctl1005->setValue(static_cast<int>(std::min(position, range)));
}

void ProgressPage::SetTaskbarProgress(std::uint64_t completed, std::uint64_t total) {
    Taskbar().SetProgressValue(TaskbarWindow(), completed, total);
}

void ProgressPage::SetTaskbarState(TaskbarState state) {
    Taskbar().SetProgressState(TaskbarWindow(), state);
    if (state == TaskbarState::NoProgress)
        Taskbar().SetOverlayIcon(TaskbarWindow(), kFinishedOverlay, {});
}

void ProgressPage::PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool ProgressPage::ConfirmCancel() {
    return quillon::ConfirmCancel(this);
}

void ProgressPage::Beep() {
    QApplication::beep();
}

} // namespace quillon
