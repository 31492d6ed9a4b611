#pragma once
// What every command sets up: the POSIX ports, the terminal's message handler, the interrupt
// flag; and the distribution's description files found as the wizard finds them.
#include "cli/Terminal.h"
#include "distribution/KldoInifileManager.h"
#include "model/DictCollection.h"
#include "model/SmartPtr.h"
#include "platform/StepObserver.h"
#include "platform/posix/QmCatalogue.h"
#include "product/ObservedServices.h"
#include "selection/SelectCollectionDlg.h"
#include "support/CommandLine.h"

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
    QmCatalogue catalogue_;
    StepFanOut steps_;
    std::unique_ptr<ScopedObservation> observation_;
};

// Whether this user may change the product (root, or write access to the hive and the product's
// folders); otherwise says which path it may not write, before anything is tried, and answers
// false. `command`: the command that would change it.
bool CanChangeProduct(const std::string& command);

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

// What is wrong with the operands and options of install or plan (`command`): one DIST,
// --collection ID, --replace replace|skip|ask; nothing when they are sound.
struct Arguments;
std::optional<std::string> InstallArgumentsMistake(const Arguments& a, const std::string& command);

// A command's view of its command line: the operands after the command word, and its options.
struct Arguments {
    explicit Arguments(const CommandLine& line);
    std::vector<std::string> positional;
    bool json = false; // --json, or --events
    bool yes = false;

    bool Switch(const std::string& name) const { return line_.Has(name); }
    std::string Get(const std::string& name) const { return line_.Value(name); }
    std::vector<std::string> All(const std::string& name) const { return line_.Values(name); }

private:
    const CommandLine& line_;
};

} // namespace quillon::cli
