#pragma once
// RunWizard: the installer's page sequence as a state machine. It shows the pages one after
// another through the WizardHost and decides from each page's result which comes next; it ends
// by closing the main window.
#include "platform/MessagePort.h"
#include "shell/WizardHost.h"

#include <string>
#include <vector>

namespace quillon {

enum class WizardState { Start, Welcome, Action, Removal, Source, Path, Collection, Load, Profiles, Progress, Question, End };

const char* WizardStateName(WizardState state);

class Wizard {
public:
    explicit Wizard(WizardHost& host) : host_(host) {}

    // Runs from Start to End. `sourceFolder`: empty, or the command-line folder.
    void Run(const std::string& sourceFolder);

    // The states in the order they were entered (for tests and diagnostics).
    const std::vector<WizardState>& Trace() const { return trace_; }

private:
    WizardState Start();
    WizardState Welcome();
    WizardState Action();
    WizardState Removal();
    WizardState Source();
    WizardState Path();
    WizardState Collection();
    WizardState Load();
    WizardState Profiles();
    WizardState Progress();
    WizardState Question();
    // The summary of the last installation in place of question 2016: with its Yes/No, or Ok.
    MessageAnswer ShowSummary(MessageButtons buttons);
    // The next source search shows the path page, pre-filled with the folder in use.
    void AskForFolderAgain();

    WizardHost& host_;
    std::vector<WizardState> trace_;
    WizardState previous_ = WizardState::Start;

    std::string sourceFolder_;
    std::string lastTypedFolder_;
    bool cdRomSearch_ = false;
    bool installerFolderSearch_ = false;
    bool askOnly_ = false;
    std::unique_ptr<DescriptionCopies> copies_;
    CollectionChoice choice_;
    ProfilesPageResult profiles_;
    ProgressPageResult progress_;
};

// Free-function form of the driver.
inline void RunWizard(WizardHost& host, const std::string& sourceFolder) { Wizard(host).Run(sourceFolder); }

} // namespace quillon
