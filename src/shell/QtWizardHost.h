#pragma once
// The Qt front end's WizardHost: shows the pages over the main window and reaches the rest of
// the system through WizardServices, a set of plain callbacks the front end fills in.
//
// Each service left empty has a stated fallback (below), so the wizard runs before every part of
// the system is connected; the pages of later steps (collection, profiles, progress, removal)
// end the wizard with Cancel until their callbacks are set.
#include "shell/MainFrame.h"
#include "shell/WizardHost.h"

#include <functional>
#include <memory>
#include <string>

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

    // Pages of later steps, shown over `owner`. Empty: Cancel (2).
    std::function<int(QWidget* owner)> removalPage;
    std::function<CollectionChoice(QWidget* owner, DescriptionCopies& copies)> chooseCollection;
    // Empty: LoadStatus::Exception (never reached while chooseCollection is empty).
    std::function<LoadResult(DescriptionCopies& copies, const std::string& identifier)>
        loadCollection;
    std::function<ProfilesPageResult(QWidget* owner)> profilesPage;
    std::function<int(QWidget* owner, const std::string& sourceFolder, int replaceMode)>
        progressPage;
};

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
    int ShowProgressPage(const std::string& sourceFolder, int replaceMode) override;

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
