#include "cli/Session.h"

#include "cli/Output.h"
#include "cli/StepOutput.h"
#include "distribution/SourceSearch.h"
#include "platform/Ports.h"
#include "platform/posix/PosixPorts.h"
#include "descriptions/DictCollectionLoader.h"
#include "product/KernelConnection.h"
#include "support/Messages.h"

#include <algorithm>
#include <cstdio>

namespace quillon::cli {

Session::Session(bool assumeYes, bool readOnly) : messages_(assumeYes) {
    posix::InstallPosixPorts();
    // The installer's catalogue: quillon-cli speaks the product's interface language too.
    InstallInterfaceCatalogue(catalogue_, "quillon");
    CurrentPorts().messages = &messages_;
    steps_.Add(Log());
    steps_.Add(Events());
    observation_ = std::make_unique<ScopedObservation>(steps_, readOnly);
    InstallInterruptHandler();
}

Session::~Session() {
    ReleaseKernelConnection();
    observation_.reset();
    CurrentPorts().messages = nullptr;
    CurrentPorts().strings = nullptr;
}

bool PrepareDistribution(const std::string& folder, CKldoInifileManager& copies) {
    std::string root = folder;
    if (!root.empty() && root.back() != '/')
        root += '/';
    if (copies.Prepare(root) || copies.Prepare(DictsFolder(root)))
        return true;
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

CollectionPageStatus OpenCollectionPage(const CKldoInifileManager& copies, CSelectCollectionDlg& page) {
    if (!page.Initialize())
        return CollectionPageStatus::Listed;
    // The page closed itself: the wizard then reads nothing and reports why.
    CDictCollectionLoader loader(copies.GetSetupIniPath(), copies.GetMainDescriptionPath(), copies.GetSourceFolder(),
                                 std::make_unique<InstalledDirections>());
    if (!loader.LoadDescriptions()) {
        ShowMessage(2001, MessageIcon::Error);
        return CollectionPageStatus::Unreadable;
    }
    ShowMessage(2017);
    return CollectionPageStatus::NoCollection;
}

Arguments::Arguments(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                     const std::vector<std::string>& switches) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--yes") {
            yes = true;
        } else if (a.starts_with("--") && std::find(switches.begin(), switches.end(), a.substr(2)) != switches.end()) {
            switchesGiven.push_back(a.substr(2));
        } else if (a.starts_with("--")) {
            const std::string name = a.substr(2);
            if (std::find(valued.begin(), valued.end(), name) == valued.end() || i + 1 >= args.size()) {
                bad = true;
                return;
            }
            options.emplace_back(name, args[++i]);
        } else {
            positional.push_back(a);
        }
    }
}

std::string Arguments::Get(const std::string& name) const {
    for (const auto& [n, v] : options)
        if (n == name)
            return v;
    return {};
}

std::vector<std::string> Arguments::All(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [n, v] : options)
        if (n == name)
            values.push_back(v);
    return values;
}

bool Arguments::Switch(const std::string& name) const {
    return std::find(switchesGiven.begin(), switchesGiven.end(), name) != switchesGiven.end();
}


} // namespace quillon::cli
