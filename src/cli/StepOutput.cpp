#include "cli/StepOutput.h"

#include "platform/posix/AppendOnlyFile.h"
#include "cli/Output.h"
#include "product/ComError.h"
#include "support/Json.h"
#include "support/Text.h"
#include "support/Version.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace quillon::cli {
namespace {

class StandardOutput : public LineSink {
public:
    bool WriteLine(std::string_view line) override {
        const bool ok = std::fwrite(line.data(), 1, line.size(), stdout) == line.size() &&
                        std::fputc('\n', stdout) != EOF;
        return std::fflush(stdout) == 0 && ok;
    }
};

struct State {
    std::unique_ptr<posix::AppendOnlyFile> logFile;
    std::unique_ptr<StepJsonLines> log;
    StandardOutput standardOutput;
    std::unique_ptr<StepJsonLines> events;
    std::string result;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

State& Current() {
    static State state;
    return state;
}

} // namespace

bool OpenLog(const std::string& path, const std::vector<std::string>& arguments) {
    State& s = Current();
    std::string error;
    s.logFile = posix::AppendOnlyFile::Open(path, error, "quillon-cli");
    if (!s.logFile) {
        std::fprintf(stderr, "quillon-cli: --log %s\n", error.c_str());
        return false;
    }
    s.log = std::make_unique<StepJsonLines>(*s.logFile, StepJsonLines::kLog);
    std::string list = "[";
    for (std::size_t i = 0; i < arguments.size(); ++i)
        list += (i ? "," : "") + JsonString(arguments[i]);
    s.log->Note("start", "\"program\":\"quillon-cli\",\"version\":" + JsonString(QuillonVersion()) +
                             ",\"pid\":" + std::to_string(::getpid()) + ",\"arguments\":" + list +
                             "]");
    return true;
}

void CloseLog(int exitCode) {
    State& s = Current();
    if (!s.log)
        return;
    std::string fields = "\"exitCode\":" + std::to_string(exitCode);
    if (!s.result.empty())
        fields += ",\"result\":" + JsonString(s.result);
    fields += ",\"ms\":" + Milliseconds(std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now() - s.start));
    s.log->Note("end", fields);
    s.log.reset();
    s.logFile.reset();
}

StepJsonLines* Log() {
    return Current().log.get();
}

void EnableEvents() {
    State& s = Current();
    if (!s.events)
        s.events = std::make_unique<StepJsonLines>(s.standardOutput, StepJsonLines::kEvents);
}

StepJsonLines* Events() {
    return Current().events.get();
}

void VerboseSteps::ItemStarted(const StepItem& item) {
    std::fprintf(stderr, "quillon-cli: %s %s: started\n", StepItemKindName(item.kind), TerminalSafe(item.name).c_str());
}

void VerboseSteps::ItemFinished(const StepItem& item, ItemOutcome outcome, const std::string& uid,
                                const std::string& reason) {
    std::fprintf(stderr, "quillon-cli: %s %s: %s%s%s\n", StepItemKindName(item.kind), TerminalSafe(item.name).c_str(),
                 ItemOutcomeName(outcome), uid.empty() ? "" : (" " + TerminalSafe(uid)).c_str(),
                 reason.empty() ? "" : (" (" + TerminalSafe(reason) + ")").c_str());
}

void VerboseSteps::KernelCall(std::string_view operation, HRESULT status, std::chrono::microseconds took) {
    std::fprintf(stderr, "quillon-cli: kernel %.*s: %s, %s ms\n", static_cast<int>(operation.size()), operation.data(),
                 HResultText(status).c_str(), Milliseconds(took).c_str());
}

VerboseSteps* VerboseObserver() {
    static VerboseSteps steps;
    return Verbose() ? &steps : nullptr;
}

void SetRunResult(const std::string& result) {
    Current().result = result;
}

} // namespace quillon::cli
