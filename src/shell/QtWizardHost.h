#pragma once
// The Qt front end's WizardHost: shows the pages over the main window and reaches the rest of
// the system through WizardServices, a set of plain callbacks the front end fills in.
//
// The services of the source search and the kernel have stated fallbacks (below). The pages of
// the later states (collection, load, profiles, progress, removal) have none: reaching a state
// whose page is not connected is a programming error and throws std::logic_error.
// InstallerServices() connects every one.
#include "shell/MainFrame.h"
#include "shell/WizardHost.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

class CAddRemoveDlg;

struct WizardServices {
    // EnsureKernelConnection: true when the kernel is reachable. Empty: false (message 1035).
    std::function<bool()> ensureKernelConnection;
    // Releases the process-wide kernel connection before a further installation. Empty: nothing.
    std::function<void()> releaseKernelConnection;
    // New description copies (CKldoInifileManager). Empty: copies that recognise no folder.
    std::function<std::unique_ptr<DescriptionCopies>()> newDescriptionCopies;
    // NextCdDrive. Empty: no optical drive.
    std::function<bool(std::string& drive)> nextCdDrive;
    // GetInstallerFolder. Empty: the executable's folder with a trailing "/".
    std::function<std::string()> installerFolder;
    // The administrator test of the welcome page. Empty: posix::IsUserAdministrator.
    std::function<bool()> isAdministrator;

    // Pages of later states, shown over `owner`.
    std::function<int(QWidget* owner)> removalPage;
    std::function<CollectionChoice(QWidget* owner, DescriptionCopies& copies)> chooseCollection;
    std::function<LoadResult(DescriptionCopies& copies, const std::string& identifier)>
        loadCollection;
    std::function<ProfilesPageResult(QWidget* owner)> profilesPage;
    std::function<ProgressPageResult(QWidget* owner, const std::string& sourceFolder, int replaceMode)>
        progressPage;
};

// The names of the wizard states whose page `services` leaves unconnected.
std::vector<std::string> UnwiredStates(const WizardServices& services);

class QtWizardHost : public WizardHost {
public:
    QtWizardHost(CMainFrame& frame, WizardServices services);
    ~QtWizardHost() override;

    bool EnsureKernelConnection() override;
    void ReleaseKernelConnection() override;

    int ShowWelcomePage() override;
    ActionPageResult ShowActionPage(bool newPage) override;
    int ShowRemovalPage() override;
    int ShowPathPage(std::string& path) override;
    CollectionChoice ChooseCollection(DescriptionCopies& copies) override;
    LoadResult LoadCollection(DescriptionCopies& copies, const std::string& identifier) override;
    ProfilesPageResult ShowProfilesPage() override;
    ProgressPageResult ShowProgressPage(const std::string& sourceFolder, int replaceMode) override;

    std::unique_ptr<DescriptionCopies> NewDescriptionCopies() override;
    bool NextCdDrive(std::string& drive) override;
    std::string GetInstallerFolder() override;

    void ClearTaskbarOverlay() override;
    void CloseMainWindow() override;

private:
    CMainFrame& frame_;
    WizardServices services_;
    std::unique_ptr<CAddRemoveDlg> actionPage_;
};

} // namespace quillon
