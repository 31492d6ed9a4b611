#pragma once
// What every command sets up: the POSIX ports, the terminal's message handler, the interrupt
// flag; and the distribution's description files found as the wizard finds them.
#include "cli/Terminal.h"
#include "distribution/KldoInifileManager.h"
#include "model/DictCollection.h"
#include "model/SmartPtr.h"
#include "platform/StepObserver.h"
#include "platform/qt/QtCatalogue.h"
#include "product/ObservedServices.h"
#include "selection/SelectCollectionDlg.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

// The step observers (the log, the event stream) see every kernel call and message of the
// session; with `readOnly` the kernel refuses every call that would change the product
// (product/ObservedServices.h).
class Session {
public:
    explicit Session(bool assumeYes, bool readOnly = false);
    ~Session();
    TerminalMessages& Messages() { return messages_; }

private:
    TerminalMessages messages_;
    QtCatalogue catalogue_;
    StepFanOut steps_;
    std::unique_ptr<ScopedObservation> observation_;
};

// Prepares DIST itself, else DIST/DICTS/; false (with a message on stderr) when neither holds
// the description files, or (message 2041) when the product's temporary folder, where a
// setup.inf is unpacked, cannot be used.
bool PrepareDistribution(const std::string& folder, CKldoInifileManager& copies);

// How the collection page opened on a prepared distribution.
enum class CollectionPageStatus {
    Listed,       // the page stays open: its list holds the offered collections (maybe none)
    Unreadable,   // the description files cannot be read: message 2001 was shown
    NoCollection, // the page closed itself for want of collections: message 2017 was shown
};

// Opens the collection page as the wizard does, reporting why it closed itself. A distribution
// none of whose collections has an installed direction is Listed, with nothing offered.
CollectionPageStatus OpenCollectionPage(CSelectCollectionDlg& page);

// The collection install and plan work on, read as the wizard reads it.
struct ChosenCollection {
    CKldoInifileManager copies;
    CSmartPtr<CDictCollection> collection;
};

// Connects the kernel (message 1035 when it cannot), prepares DIST, opens the collection page
// and reads collection `id`, which the page must offer; then selects the profiles named in
// `profiles` (message 2005 for one of a direction that is not installed), or leaves the page's
// preselection when none is named. Answers nothing when the collection is ready, else the exit
// code after a message or a complaint: 1 (no kernel, no distribution, unreadable descriptions),
// 2 (no such collection or profile, or a collection the page does not offer), 5 (no collection
// at all).
std::optional<int> ChooseCollection(const std::string& dist, const std::string& id,
                                    const std::vector<std::string>& profiles, ChosenCollection& chosen);

// A small argument reader: flags with and without values, positionals.
struct Arguments {
    std::vector<std::string> positional;
    bool json = false;
    bool yes = false;
    std::vector<std::pair<std::string, std::string>> options; // --name value
    std::vector<std::string> switchesGiven;
    bool bad = false;

    // `valued`: options that take a value; `switches`: further options without one.
    Arguments(const std::vector<std::string>& args, const std::vector<std::string>& valued,
              const std::vector<std::string>& switches = {});
    bool Switch(const std::string& name) const;
    std::string Get(const std::string& name) const;
    std::vector<std::string> All(const std::string& name) const;
};

} // namespace quillon::cli
