#include "cli/Output.h"

#include "product/KernelConnection.h"
#include "support/Json.h"
#include "support/Messages.h"
#include "support/Text.h"

#include <unistd.h>

namespace quillon::cli {
namespace {

struct State {
    bool json = false;
    bool events = false;
    bool written = false; // the run's JSON object is out
    bool quiet = false;
    bool verbose = false;
    bool progress = true;
    std::string error;
    std::vector<ShownMessage> messages;
};

State& Current() {
    static State state;
    return state;
}

} // namespace

void SetJsonOutput(bool json) {
    Current().json = json;
}
bool JsonOutput() {
    return Current().json;
}

void SetEventStream(bool events) {
    Current().events = events;
    if (events)
        Current().json = true;
}

void SetQuiet(bool quiet) {
    Current().quiet = quiet;
}
bool Quiet() {
    return Current().quiet;
}
void SetVerbose(bool verbose) {
    Current().verbose = verbose;
}
bool Verbose() {
    return Current().verbose;
}
void SetProgressShown(bool shown) {
    Current().progress = shown;
}

std::FILE* PeopleStream() {
    return !Current().json || ::isatty(STDERR_FILENO) ? stderr : nullptr;
}

std::FILE* ProgressStream() {
    if (!Current().progress)
        return nullptr;
    return Current().json ? PeopleStream() : stdout;
}

std::vector<ShownMessage>& ShownMessages() {
    return Current().messages;
}

void SetJsonError(const std::string& text) {
    if (Current().error.empty())
        Current().error = text;
}

void Complain(const std::string& text) {
    if (std::FILE* out = PeopleStream())
        std::fprintf(out, "quillon-cli: %s\n", TerminalSafe(text).c_str());
    SetJsonError(text);
}

void SayNoKernel() {
    ShowMessage(1035);
    if (const std::string& why = KernelConnectionFailure(); !why.empty())
        Complain("the translation kernel cannot be started: " + why);
}

void WriteJson(const std::string& fields, int exitCode) {
    State& s = Current();
    std::string out = std::string(s.events ? "{\"event\":\"end\"," : "{") + fields + (fields.empty() ? "" : ",") +
                      "\"exitCode\":" + std::to_string(exitCode) + ",\"messages\":[";
    for (std::size_t i = 0; i < s.messages.size(); ++i)
        out += std::string(i ? "," : "") + "{\"id\":" + std::to_string(s.messages[i].id) +
               ",\"text\":" + JsonString(s.messages[i].text) + "}";
    out += "]";
    if (!s.error.empty())
        out += ",\"error\":" + JsonString(s.error);
    out += "}\n";
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    s.written = true;
}

void FinishJson(int exitCode) {
    if (Current().json && !Current().written)
        WriteJson({}, exitCode);
}

} // namespace quillon::cli
