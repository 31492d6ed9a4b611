#include "cli/Session.h"

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/StepOutput.h"
#include "descriptions/DictCollectionLoader.h"
#include "distribution/SourceSearch.h"
#include "platform/Ports.h"
#include "platform/posix/PosixAdministrator.h"
#include "platform/posix/PosixPorts.h"
#include "product/ComError.h"
#include "product/KernelConnection.h"
#include "product/Paths.h"
#include "support/Messages.h"

#include <algorithm>
#include <cstring>
#include <cstdio>

namespace quillon::cli {

Session::Session(bool assumeYes, bool readOnly) : messages_(assumeYes) {
    posix::InstallPosixPorts();
    // The installer's catalogue: quillon-cli speaks the product's interface language too.
    InstallInterfaceCatalogue(catalogue_, "quillon");
    CurrentPorts().messages = &messages_;
    steps_.Add(Log());
    steps_.Add(Events());
    steps_.Add(VerboseObserver());
    observation_ = std::make_unique<ScopedObservation>(steps_, readOnly);
    InstallInterruptHandler();
}

Session::~Session() {
    ReleaseKernelConnection();
    observation_.reset();
    CurrentPorts().messages = nullptr;
    CurrentPorts().strings = nullptr;
}

bool CanChangeProduct(const std::string& command) {
    const std::string where = posix::MissingAdministratorRight();
    if (where.empty())
        return true;
    Complain(command + " changes the KALDO product, and this user may not write " + where +
             ": run it as root (for example with sudo), or as a user who may write the product's files");
    return false;
}

bool PrepareDistribution(const std::string& folder, CKldoInifileManager& copies) {
    std::string root = AbsolutePath(folder);
    if (!root.empty() && root.back() != '/')
        root += '/';
    if (copies.Prepare(root))
        return true;
    // A working copy that could not be written is a disk fault: it is reported as such, not as a
    // folder without description files.
    bool writeFailed = copies.WriteFailed();
    if (!writeFailed && !copies.SystemError() && copies.Prepare(DictsFolder(root)))
        return true;
    if (const int error = copies.SystemError()) { // out of file descriptors, not a folder's fault
        Complain(folder + ": the description files cannot be opened: " + std::strerror(error));
        return false;
    }
    if (writeFailed || copies.WriteFailed()) {
        ShowMessage(1015, MessageIcon::Error);
        return false;
    }
    std::string unusable = UnusableWorkingFolder(root);
    if (unusable.empty())
        unusable = UnusableWorkingFolder(DictsFolder(root));
    if (!unusable.empty()) {
        ShowMessage(2041, MessageIcon::Error, MessageButtons::Ok, {unusable});
        return false;
    }
    Complain(folder + " holds no description files (RAVIRI.INF and SETUP.INI, or setup.inf), nor does its "
                      "DICTS folder");
    return false;
}

CollectionPageStatus OpenCollectionPage(CSelectCollectionDlg& page) {
    if (!page.Initialize())
        return CollectionPageStatus::Listed;
    // The page closed itself: the wizard then says why.
    switch (page.Listing()) {
    case CollectionListing::Unreadable:
        ShowMessage(2001, MessageIcon::Error);
        return CollectionPageStatus::Unreadable;
    case CollectionListing::NoneSupported: { // listed as nothing offered, and said why
        std::string pairs;
        for (const std::string& pair : page.NeededPairs())
            pairs += (pairs.empty() ? "" : ", ") + pair;
        ShowMessage(2052, MessageIcon::Warning, MessageButtons::Ok, {pairs});
        return CollectionPageStatus::Listed;
    }
    case CollectionListing::Empty:
    case CollectionListing::Listed:
        break;
    }
    ShowMessage(2017);
    return CollectionPageStatus::NoCollection;
}

std::optional<int> ChooseCollection(const std::string& dist, const std::string& id,
                                    const std::vector<std::string>& profiles, ChosenCollection& chosen) {
    if (!EnsureKernelConnection()) {
        SayNoKernel();
        return kExitCannotStart;
    }
    CKldoInifileManager& copies = chosen.copies;
    if (!PrepareDistribution(dist, copies))
        return kExitCannotStart;

    // Only a collection the collection page offers can be installed.
    MemoryCollectionList offered;
    CSelectCollectionDlg collectionPage(copies.GetSourceFolder(), copies.GetSetupIniPath(),
                                        copies.GetMainDescriptionPath(), offered);
    switch (OpenCollectionPage(collectionPage)) {
    case CollectionPageStatus::Unreadable: return kExitCannotStart;
    case CollectionPageStatus::NoCollection: return kExitNothingDone;
    case CollectionPageStatus::Listed: break;
    }
    std::string idText;
    const CDictDistrib::CDDEqualCollID sameId(id);
    for (const auto& [item, identifier] : collectionPage.ItemMap())
        if (sameId(collectionPage.Distribution().FindCollection(identifier)))
            idText = identifier;
    if (idText.empty()) {
        const auto& all = collectionPage.Distribution().GetCollections();
        if (std::none_of(all.begin(), all.end(), sameId))
            Complain("the distribution has no collection " + id);
        else
            Complain("collection " + id + " has no profile of a direction the kernel supports, so the installer "
                     "does not offer it");
        return kExitUsage;
    }

    CSmartPtr<CDictCollection> collection(new CDictCollection);
    try {
        CDictCollectionLoader loader(copies.GetSetupIniPath(), copies.GetMainDescriptionPath(), copies.GetSourceFolder());
        if (!loader.ReadCollection(idText, *collection)) {
            ShowMessage(2001, MessageIcon::Error);
            return kExitCannotStart;
        }
    } catch (const ComError&) {
        ShowMessage(57355, MessageIcon::Error);
        return kExitCannotStart;
    }
    if (collection->GetProfileCount() == 0) {
        ShowMessage(2017);
        return kExitNothingDone;
    }

    // The chosen profiles: those named, else every one the page preselects.
    for (const std::string& key : profiles) {
        const auto& all = collection->GetProfiles();
        if (std::none_of(all.begin(), all.end(), [&](const auto& p) { return p->GetKey() == key; })) {
            Complain("collection " + id + " has no profile " + key);
            return kExitUsage;
        }
    }
    if (!profiles.empty())
        for (auto& p : collection->GetProfiles())
            p->SetSelected(std::find(profiles.begin(), profiles.end(), p->GetKey()) != profiles.end());
    for (const auto& p : collection->GetProfiles())
        if (p->IsSelected() && !p->IsSupported() && !profiles.empty())
            ShowMessage(2005); // a named profile of a direction that is not installed
    chosen.collection = collection;
    return std::nullopt;
}

std::optional<std::string> InstallArgumentsMistake(const Arguments& a, const std::string& command) {
    if (a.positional.empty())
        return command + " needs the distribution folder DIST";
    if (a.positional.size() > 1)
        return command + " takes one DIST, not " + std::to_string(a.positional.size());
    if (a.Get("collection").empty())
        return command + " needs --collection ID (quillon-cli list DIST shows the identifiers)";
    const std::string replace = a.Get("replace");
    if (a.Switch("replace") && replace != "replace" && replace != "skip" && replace != "ask")
        return "--replace takes replace, skip or ask, not '" + replace + "'";
    return std::nullopt;
}

Arguments::Arguments(const CommandLine& line)
    : positional(line.Operands().empty() ? line.Operands().end() : line.Operands().begin() + 1, line.Operands().end()),
      json(line.Has("json") || line.Has("events")), yes(line.Has("yes")), line_(line) {}

} // namespace quillon::cli
