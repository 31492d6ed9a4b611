#pragma once
// quillon-cli's step observers: the log (--log FILE: JSON lines appended to FILE, with every
// kernel call and the time) and the event stream (install --events: JSON lines on standard
// output, ending with the command's JSON object). docs/quillon-cli.md, "Log" and "Event stream".
#include "platform/StepJsonLines.h"

#include <string>
#include <vector>

namespace quillon::cli {

// Opens the log and writes its "start" line (program, version, pid, arguments); false, with a
// complaint on standard error, when FILE cannot be opened for appending.
bool OpenLog(const std::string& path, const std::vector<std::string>& arguments);
// Writes the log's "end" line (exit code, the command's result when it has one, run time) and
// closes it.
void CloseLog(int exitCode);
// The log's observer, or nullptr.
StepJsonLines* Log();

// The event stream on standard output (nullptr until EnableEvents).
void EnableEvents();
StepJsonLines* Events();

// --verbose: each item started and finished and each kernel call, one line each on standard
// error ("quillon-cli: ..."), names escaped for the terminal.
class VerboseSteps : public StepObserver {
public:
    void ItemStarted(const StepItem& item) override;
    void ItemFinished(const StepItem& item, ItemOutcome outcome, const std::string& uid,
                      const std::string& reason) override;
    void KernelCall(std::string_view operation, HRESULT status, std::chrono::microseconds took) override;
};
// The verbose observer, or nullptr without --verbose.
VerboseSteps* VerboseObserver();

// The result word of the command that ran ("installed", …), for the log's "end" line.
void SetRunResult(const std::string& result);

} // namespace quillon::cli
