#pragma once
// The steps as JSON lines (docs/quillon-cli.md, "Log" and "Event stream"): one object per line,
// {"event":…,…}, handed to a LineSink as soon as it happens.
//
//   item-started   kind, key, name
//   progress       percent (of the current file; only when it changes)
//   item-finished  kind, key, name, result ("installed"/"failed"), installed, uid, ms
//   kernel-call    operation, status ("0x%08X"), ms
//   message        id, text, icon, buttons, answer
//   installation-ended  result, pageResult, installed, failed
//
// The log stamps every line with "time" (UTC, milliseconds) and leaves progress out; the event
// stream leaves out the kernel calls and the time.
#include "platform/StepObserver.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Where the lines go. Implemented by AppendOnlyFile (platform/posix) and quillon-cli's
// standard-output writer.
class LineSink {
public:
    virtual ~LineSink() = default;
    // Writes `line` and a line break at once (a reader never sees half a line); false on failure.
    virtual bool WriteLine(std::string_view line) = 0;
};

class StepJsonLines : public StepObserver {
public:
    struct Options {
        bool time = false;        // "time" on every line
        bool kernelCalls = false; // kernel-call lines
        bool progress = false;    // progress lines
    };
    static constexpr Options kLog{true, true, false};
    static constexpr Options kEvents{false, false, true};

    StepJsonLines(LineSink& sink, Options options) : sink_(sink), options_(options) {}

    // A line of the front end's: `fields` are JSON members (may be empty) after "event".
    void Note(std::string_view event, std::string_view fields);

    void ItemStarted(const StepItem& item) override;
    void Progress(std::uint32_t position, std::uint32_t range) override;
    void ItemFinished(const StepItem& item, ItemOutcome outcome, const std::string& uid,
                      const std::string& reason) override;
    void KernelCall(std::string_view operation, HRESULT status,
                    std::chrono::microseconds took) override;
    void MessageShown(const MessageBoxRequest& request, MessageAnswer answer) override;
    void InstallationEnded(InstallResult result, int pageResult, int held, int failed,
                           int cancelled) override;

    // False once a line could not be written.
    bool Healthy() const { return healthy_; }

private:
    void Line(std::string_view event, const std::string& fields);

    LineSink& sink_;
    Options options_;
    bool healthy_ = true;
    std::optional<std::chrono::steady_clock::time_point> itemStart_;
    int lastPercent_ = -1;
};

// "2026-12-09T08:01:02.345Z"
std::string UtcTimeStamp(std::chrono::system_clock::time_point when);
// Milliseconds with up to three decimals ("12.5", "0.031").
std::string Milliseconds(std::chrono::microseconds duration);

} // namespace quillon
