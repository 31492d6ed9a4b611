#pragma once
// quillon-cli's terminal: where questions are answered and progress is drawn, and the Ctrl-C
// flag. Questions are asked on the terminal when standard input is one; otherwise they take the
// documented unattended answers (docs/quillon-cli.md).
#include "cli/Output.h"
#include "platform/MessagePort.h"

#include <atomic>
#include <string>
#include <vector>

namespace quillon::cli {

// Every message box of the installer goes through here: printed for people (PeopleStream) as
// "message <id>: <text>" (line breaks as \n), answered on the terminal or unattended, and kept
// for the JSON report (ShownMessages).
class TerminalMessages : public MessagePort {
public:
    explicit TerminalMessages(bool assumeYes) : assumeYes_(assumeYes) {}
    MessageAnswer Show(const MessageBoxRequest& request) override;
    const std::vector<ShownMessage>& Shown() const { return ShownMessages(); }

    // The answer a box gets when nobody is asked: OK, Cancel (Retry/Cancel: never retry
    // forever), No (Yes/No), or Yes for Yes/No with --yes.
    static MessageAnswer UnattendedAnswer(MessageButtons buttons, bool assumeYes);

private:
    bool assumeYes_;
};

// True when standard input and standard error are terminals.
bool Interactive();
// Asks a yes/no question on the terminal; `fallback` when it cannot be asked.
bool AskYesNo(const std::string& question, bool fallback);

// SIGINT and SIGTERM. While an installation runs (SetInstalling(true)) they set the flag below,
// which the progress view reads at every checkpoint: SIGINT asks the cancel question there,
// SIGTERM cancels without asking — and, should the installation not have stopped within a
// second (a call that waits), ends the process by the signal after all. At any other time both
// end the process at once, as by default, whatever it is waiting on.
void InstallInterruptHandler();
void SetInstalling(bool installing);
std::atomic<bool>& InterruptRequested();
// SIGTERM was among the interrupts: cancel without asking.
bool TerminateRequested();

// "Устанавливается\nX" -> "Устанавливается X"; "&&" -> "&".
std::string PlainText(const std::string& dialogText);

} // namespace quillon::cli
