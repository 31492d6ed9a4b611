#include "shell/InstallerServices.h"

#include "descriptions/DictCollectionLoader.h"
#include "distribution/KldoInifileManager.h"
#include "distribution/SourceSearch.h"
#include "install/ProgressPage.h"
#include "product/KernelConnection.h"
#include "removal/RemovalPage.h"
#include "selection/CollectionPage.h"
#include "selection/ProfilesPage.h"

namespace quillon {
namespace {

// One pass's description copies: the working-copy manager as the wizard's port.
class InstallerCopies : public DescriptionCopies {
public:
    bool Prepare(const std::string& folder) override { return manager_.Prepare(folder); }
    bool WriteFailed() const override { return manager_.WriteFailed(); }
    int SystemError() const override { return manager_.SystemError(); }
    std::string GetSourceFolder() const override { return manager_.GetSourceFolder(); }
    std::string GetSetupIniPath() const override { return manager_.GetSetupIniPath(); }
    std::string GetMainDescriptionPath() const override {
        return manager_.GetMainDescriptionPath();
    }

private:
    CKldoInifileManager manager_;
};

} // namespace

WizardServices InstallerServices() {
    // The collection read in the Load state, for the profile and progress pages.
    auto collection = std::make_shared<CSmartPtr<CDictCollection>>();

    WizardServices services;
    services.ensureKernelConnection = [] { return EnsureKernelConnection(); };
    services.releaseKernelConnection = [] { ReleaseKernelConnection(); };
    services.newDescriptionCopies = [] { return std::make_unique<InstallerCopies>(); };
    services.nextCdDrive = [](std::string& drive) { return NextCdDrive(drive); };
    services.installerFolder = [] { return GetInstallerFolder(); };

    services.chooseCollection = [](QWidget* owner, DescriptionCopies& copies) {
        CollectionPage page(owner, copies.GetSourceFolder(), copies.GetSetupIniPath(),
                            copies.GetMainDescriptionPath());
        CollectionChoice choice;
        choice.result = page.Run();
        if (choice.result == kPageNext) {
            choice.identifier = page.ChosenId();
            choice.displayName = page.ChosenName();
            choice.listing = page.Listing();
            choice.neededPairs = page.NeededPairs();
        }
        return choice;
    };
    services.loadCollection = [collection](DescriptionCopies& copies,
                                           const std::string& identifier) {
        *collection = CSmartPtr<CDictCollection>(new CDictCollection);
        CDictCollectionLoader loader(copies.GetSetupIniPath(), copies.GetMainDescriptionPath(),
                                     copies.GetSourceFolder());
        if (!loader.ReadCollection(identifier, **collection))
            return LoadResult{LoadStatus::ReadFailed, 0};
        return LoadResult{LoadStatus::Loaded, static_cast<int>((*collection)->GetProfileCount())};
    };
    services.profilesPage = [collection](QWidget* owner) {
        ProfilesPage page(owner, *collection);
        ProfilesPageResult result;
        result.result = page.Run();
        result.anySelected = page.AnySelected();
        result.replaceMode = page.ReplaceMode();
        return result;
    };
    services.progressPage = [collection](QWidget* owner, const std::string& sourceFolder,
                                         int replaceMode) {
        ProgressPage page(owner, *collection, sourceFolder);
        page.SetReplaceMode(replaceMode);
        ProgressPageResult result;
        result.result = page.Run();
        result.summary = page.Engine().Summary();
        return result;
    };
    services.removalPage = [](QWidget* owner) {
        RemovalPage page(owner);
        return page.Run();
    };
    return services;
}

} // namespace quillon
