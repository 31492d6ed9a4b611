#include "shell/QtWizardHost.h"

#include "distribution/KaldoPathDlg.h"
#include "shell/AddRemoveDlg.h"
#include "shell/TaskbarProgress.h"
#include "shell/WelcomeDlg.h"

#include <QCoreApplication>
#include <stdexcept>

namespace quillon {

namespace {

// Description copies before the working-copy manager is connected: no folder is a distribution.
class NoDescriptionCopies : public DescriptionCopies {
public:
    bool Prepare(const std::string&) override { return false; }
    std::string GetSourceFolder() const override { return {}; }
    std::string GetSetupIniPath() const override { return {}; }
    std::string GetMainDescriptionPath() const override { return {}; }
};

template <class F>
const F& Wired(const F& service, const char* state) {
    if (!service)
        throw std::logic_error(std::string("the wizard state ") + state + " has no page connected");
    return service;
}

} // namespace

std::vector<std::string> UnwiredStates(const WizardServices& services) {
    std::vector<std::string> states;
    if (!services.removalPage)
        states.push_back("Removal");
    if (!services.chooseCollection)
        states.push_back("Collection");
    if (!services.loadCollection)
        states.push_back("Load");
    if (!services.profilesPage)
        states.push_back("Profiles");
    if (!services.progressPage)
        states.push_back("Progress");
    return states;
}

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
    if (page.RightsMissing())
        frame_.SetExitCode(1);
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
    const auto& page = Wired(services_.removalPage, "Removal");
    return frame_.Closed() ? kPageCancel : page(&frame_);
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
    const auto& page = Wired(services_.chooseCollection, "Collection");
    if (frame_.Closed())
        return {};
    try {
        return page(&frame_, copies);
    } catch (const std::exception&) {
        return {}; // a failure while the page runs ends it with Cancel
    }
}

LoadResult QtWizardHost::LoadCollection(DescriptionCopies& copies, const std::string& identifier) {
    const auto& load = Wired(services_.loadCollection, "Load");
    try {
        return load(copies, identifier);
    } catch (const std::exception&) {
        return {LoadStatus::Exception, 0};
    }
}

ProfilesPageResult QtWizardHost::ShowProfilesPage() {
    const auto& page = Wired(services_.profilesPage, "Profiles");
    return frame_.Closed() ? ProfilesPageResult{} : page(&frame_);
}

ProgressPageResult QtWizardHost::ShowProgressPage(const std::string& sourceFolder, int replaceMode) {
    const auto& page = Wired(services_.progressPage, "Progress");
    return frame_.Closed() ? ProgressPageResult{} : page(&frame_, sourceFolder, replaceMode);
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
