#pragma once
// quillon-cli's two audiences. With --json, standard output carries one JSON object and nothing
// else, for every command and every exit code: the command's own object, or, when the command
// ended before it had one, {"exitCode":…,"messages":[…],"error":…}. People's text (messages,
// progress, complaints) then goes to standard error, or nowhere when standard error is not a
// terminal. Without --json, progress and results go to standard output, the rest to standard
// error. The usage after a mistake always goes to standard error.
#include <cstdio>
#include <string>
#include <vector>

namespace quillon::cli {

struct ShownMessage {
    int id;
    std::string text;
};

void SetJsonOutput(bool json);
bool JsonOutput();
// install --events: standard output carries the event lines, and the command's object, which
// then starts with "event":"end", is the last line. Implies JSON output.
void SetEventStream(bool events);

// --quiet: no progress, no report lines, only errors (and the JSON object with --json).
void SetQuiet(bool quiet);
bool Quiet();
// --verbose: every item and kernel call as it happens, on standard error.
void SetVerbose(bool verbose);
bool Verbose();
// --no-progress (and --quiet) turn the progress off.
void SetProgressShown(bool shown);

// Where people's text goes: standard error, or nullptr (nowhere).
std::FILE* PeopleStream();
// Where progress goes: standard output without --json, else PeopleStream(); nullptr when the
// progress is off.
std::FILE* ProgressStream();

// Every message box shown in this run, in order (the JSON objects' "messages").
std::vector<ShownMessage>& ShownMessages();

// Why the command cannot do its work: "quillon-cli: <text>" for people, and the JSON object's
// "error" (the first reason given).
void Complain(const std::string& text);
// No kernel to work with: message 1035, and why when the product is there but could not be
// started (ConnectKernel's failure).
void SayNoKernel();
// The JSON object's "error" only (the usage has been printed already).
void SetJsonError(const std::string& text);

// Writes the command's object to standard output: '{' + `fields` (JSON members, may be empty) +
// "exitCode", "messages" and, when there is one, "error" + '}'.
void WriteJson(const std::string& fields, int exitCode);
// At the end of a run with --json: the object of a command that wrote none.
void FinishJson(int exitCode);

} // namespace quillon::cli
