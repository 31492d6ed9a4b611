#pragma once
// Ports of the wizard driver: everything RunWizard needs of the pages, the distribution source,
// the kernel connection and the main window. Implemented by the Qt application (CMainFrame's
// host) and by quillon-cli's and the tests' scripted hosts.
#include "install/InstallSummary.h"
#include "selection/CollectionListing.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon {

// Page results.
enum PageResult : int { kPageNext = 1, kPageCancel = 2, kPageBack = 1001 };

// The actions of the action page: its radio buttons' ids.
enum class WizardAction : int { None = 0, Install = 2009, Remove = 2010 };

// One pass's description copies (CKldoInifileManager): Prepare is the one test of whether a
// folder is a distribution; after it succeeded, the three paths name the prepared files.
class DescriptionCopies {
public:
    virtual ~DescriptionCopies() = default;
    virtual bool Prepare(const std::string& folder) = 0;
    // True when the last Prepare failed because a working copy could not be written (a full or
    // failing disk).
    virtual bool WriteFailed() const { return false; }
    // The system's error when the last Prepare could not open a file at all (out of file
    // descriptors: EMFILE), 0 otherwise.
    virtual int SystemError() const { return 0; }
    virtual std::string GetSourceFolder() const = 0;
    // SETUP.INI in use (empty when there is none) and RAVIRI.INF in use.
    virtual std::string GetSetupIniPath() const = 0;
    virtual std::string GetMainDescriptionPath() const = 0;
};

struct ActionPageResult {
    int result = kPageCancel;
    WizardAction action = WizardAction::None;
};

struct CollectionChoice {
    int result = kPageCancel;
    std::string identifier;
    std::string displayName;
    CollectionListing listing = CollectionListing::Listed;
    // NoneSupported: the names of the language pairs the distribution's profiles need.
    std::vector<std::string> neededPairs;
};

// How reading the chosen collection went.
enum class LoadStatus {
    Loaded,       // read; see profileCount
    ReadFailed,   // ReadCollection answered failure
    Exception,    // ReadCollection (or the loader's construction) raised an error
};

struct LoadResult {
    LoadStatus status = LoadStatus::ReadFailed;
    int profileCount = 0;
};

// The progress page's end: 1 after the installation (a cancel included), 2 when it was left
// through "VANTEL_GO_HOME" (or had nothing to install from); what the installation did.
struct ProgressPageResult {
    int result = kPageCancel;
    InstallationSummary summary;
};

struct ProfilesPageResult {
    int result = kPageCancel;
    bool anySelected = false;
    int replaceMode = 2;
};

class WizardHost {
public:
    virtual ~WizardHost() = default;

    // Kernel connection: EnsureKernelConnection, and the release before a further installation.
    virtual bool EnsureKernelConnection() = 0;
    virtual void ReleaseKernelConnection() = 0;

    // Pages. The welcome page closes the main window itself when it ends with anything but Next.
    virtual int ShowWelcomePage() = 0;
    // `newPage`: a new page object (preselected again) rather than the one shown before.
    virtual ActionPageResult ShowActionPage(bool newPage) = 0;
    virtual int ShowRemovalPage() = 0;
    // The path page pre-filled with `path`; after Next, `path` holds the entered text.
    virtual int ShowPathPage(std::string& path) = 0;
    virtual CollectionChoice ChooseCollection(DescriptionCopies& copies) = 0;
    // Constructs the loader and reads collection `identifier` into a new collection the host
    // keeps for the following pages.
    virtual LoadResult LoadCollection(DescriptionCopies& copies, const std::string& identifier) = 0;
    virtual ProfilesPageResult ShowProfilesPage() = 0;
    virtual ProgressPageResult ShowProgressPage(const std::string& sourceFolder, int replaceMode) = 0;

    // Distribution source.
    virtual std::unique_ptr<DescriptionCopies> NewDescriptionCopies() = 0;
    // NextCdDrive: advances `drive` to the next optical drive's root; false after the last.
    virtual bool NextCdDrive(std::string& drive) = 0;
    // The installer's own folder with a trailing separator.
    virtual std::string GetInstallerFolder() = 0;

    // Main window.
    virtual void ClearTaskbarOverlay() = 0;
    virtual void CloseMainWindow() = 0;
};

} // namespace quillon
