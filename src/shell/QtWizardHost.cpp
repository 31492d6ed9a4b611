#include "shell/QtWizardHost.h"

#include "distribution/KaldoPathDlg.h"
#include "shell/AddRemoveDlg.h"
#include "shell/TaskbarProgress.h"
#include "shell/WelcomeDlg.h"

#include <QCoreApplication>

namespace quillon {

namespace {

// Description copies before the working-copy manager is connected: no folder is a distribution.
class NoDescriptionCopies : public DescriptionCopies {
public:
    bool Prepare(const std::string&) override { return false; }
};

} // namespace

QtWizardHost::QtWizardHost(CMainFrame& frame, WizardServices services)
    : frame_(frame), services_(std::move(services)) {}

QtWizardHost::~QtWizardHost() = default;

bool QtWizardHost::EnsureKernelConnection() {
    return services_.ensureKernelConnection && services_.ensureKernelConnection();
}

void QtWizardHost::ReleaseKernelConnection() {
    if (services_.releaseKernelConnection)
        services_.releaseKernelConnection();
}

// Once the main window is closed (a "VANTEL_GO_HOME" between pages) no further page is shown:
// the wizard sees Cancel and ends.
int QtWizardHost::ShowWelcomePage() {
    if (frame_.Closed())
        return kPageCancel;
    CWelcomeDlg page(&frame_, services_.isAdministrator);
    const int result = page.Run();
    if (result != kPageNext)
        frame_.PostClose();
    return result;
}

ActionPageResult QtWizardHost::ShowActionPage(bool newPage) {
    if (frame_.Closed())
        return {};
    if (newPage || !actionPage_)
        actionPage_ = std::make_unique<CAddRemoveDlg>(&frame_);
    ActionPageResult result;
    result.result = actionPage_->Run();
    result.action = actionPage_->ChosenAction();
    return result;
}

int QtWizardHost::ShowRemovalPage() {
    if (frame_.Closed() || !services_.removalPage)
        return kPageCancel;
    return services_.removalPage(&frame_);
}

int QtWizardHost::ShowPathPage(std::string& path) {
    if (frame_.Closed())
        return kPageCancel;
    CKaldoPathDlg page(QStringLiteral("setup.inf"), 3, &frame_, true);
    page.path = QString::fromStdString(path);
    const int result = page.Run();
    if (result == kPageNext)
        path = page.path.toStdString();
    return result;
}

CollectionChoice QtWizardHost::ChooseCollection(DescriptionCopies& copies) {
    if (frame_.Closed() || !services_.chooseCollection)
        return {};
    try {
        return services_.chooseCollection(&frame_, copies);
    } catch (const std::exception&) {
        return {}; // a failure while the page runs ends it with Cancel
    }
}

LoadResult QtWizardHost::LoadCollection(DescriptionCopies& copies, const std::string& identifier) {
    if (!services_.loadCollection)
        return {LoadStatus::Exception, 0};
    try {
        return services_.loadCollection(copies, identifier);
    } catch (const std::exception&) {
        return {LoadStatus::Exception, 0};
    }
}

ProfilesPageResult QtWizardHost::ShowProfilesPage() {
    if (frame_.Closed() || !services_.profilesPage)
        return {};
    return services_.profilesPage(&frame_);
}

int QtWizardHost::ShowProgressPage(const std::string& sourceFolder, int replaceMode) {
    if (frame_.Closed() || !services_.progressPage)
        return kPageCancel;
    return services_.progressPage(&frame_, sourceFolder, replaceMode);
}

std::unique_ptr<DescriptionCopies> QtWizardHost::NewDescriptionCopies() {
    if (services_.newDescriptionCopies)
        return services_.newDescriptionCopies();
    return std::make_unique<NoDescriptionCopies>();
}

bool QtWizardHost::NextCdDrive(std::string& drive) {
    return services_.nextCdDrive && services_.nextCdDrive(drive);
}

std::string QtWizardHost::GetInstallerFolder() {
    if (services_.installerFolder)
        return services_.installerFolder();
    return QCoreApplication::applicationDirPath().toStdString() + "/";
}

void QtWizardHost::ClearTaskbarOverlay() {
    Taskbar().SetOverlayIcon(static_cast<WindowId>(frame_.winId()), {}, {});
}

void QtWizardHost::CloseMainWindow() {
    frame_.PostClose();
}

} // namespace quillon
