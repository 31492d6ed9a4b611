#include "cli/Terminal.h"
#include "support/Text.h"

#include <cctype>
#include <csignal>
#include <optional>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace quillon::cli {
namespace {

// A message as lines for people: its first line after "message ID: ", each further line
// indented by two spaces (so a line that starts with "message " always starts a message), no
// blank line; every control character escaped.
std::string MessageLines(const std::string& text) {
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        const std::string_view line = std::string_view(text).substr(start, end - start);
        if (!Trim(line).empty())
            out += (out.empty() ? "" : "\n  ") + TerminalSafe(line);
        if (end == std::string::npos)
            return out;
        start = end + 1;
    }
}

std::string Choices(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok: return "";
    case MessageButtons::OkCancel: return "[o]k/[c]ancel";
    case MessageButtons::RetryCancel: return "[r]etry/[c]ancel";
    case MessageButtons::YesNo: return "[y]es/[n]o";
    case MessageButtons::YesNoCancel: return "[y]es/[n]o/[c]ancel";
    }
    return "";
}

std::optional<MessageAnswer> Parse(const std::string& reply, MessageButtons buttons) {
    if (reply.empty())
        return std::nullopt;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(reply[0])));
    const bool yesNo = buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel;
    if (yesNo && c == 'y')
        return MessageAnswer::Yes;
    if (yesNo && c == 'n')
        return MessageAnswer::No;
    if (buttons == MessageButtons::RetryCancel && c == 'r')
        return MessageAnswer::Retry;
    if (buttons == MessageButtons::OkCancel && c == 'o')
        return MessageAnswer::Ok;
    if (buttons != MessageButtons::YesNo && c == 'c')
        return MessageAnswer::Cancel;
    return std::nullopt;
}

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_terminate{false};
std::atomic<bool> g_installing{false};

// Only async-signal-safe calls here: signal, raise, alarm.
extern "C" void OnInterrupt(int signal) {
    if (!g_installing) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    if (signal == SIGTERM) {
        g_terminate = true;
        ::alarm(1);
    }
    g_interrupted = true;
}

// A second after SIGTERM the installation has not stopped: end as SIGTERM would have.
extern "C" void OnTerminateTimeout(int) {
    ::signal(SIGTERM, SIG_DFL);
    ::raise(SIGTERM);
}

} // namespace

bool Interactive() { return ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO); }

MessageAnswer TerminalMessages::UnattendedAnswer(MessageButtons buttons, bool assumeYes) {
    switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::OkCancel: return MessageAnswer::Cancel;
    case MessageButtons::RetryCancel: return MessageAnswer::Cancel;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel: return assumeYes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

MessageAnswer TerminalMessages::Show(const MessageBoxRequest& request) {
    ShownMessages().push_back({request.id, request.text});
    if (std::FILE* out = PeopleStream()) {
        // On a terminal, a progress bar drawn in place on the same screen is cleared first.
        if (::isatty(::fileno(out)))
            std::fputs("\r\033[K", out);
        std::fprintf(out, "message %d: %s\n", request.id, MessageLines(request.text).c_str());
    }
    if (request.buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    const bool yesNo = request.buttons == MessageButtons::YesNo || request.buttons == MessageButtons::YesNoCancel;
    if ((yesNo && assumeYes_) || !Interactive())
        return UnattendedAnswer(request.buttons, assumeYes_);
    for (;;) {
        std::fprintf(stderr, "%s? ", Choices(request.buttons).c_str());
        std::string reply;
        if (!std::getline(std::cin, reply))
            return UnattendedAnswer(request.buttons, assumeYes_);
        if (auto answer = Parse(reply, request.buttons))
            return *answer;
    }
}

bool AskYesNo(const std::string& question, bool fallback) {
    if (!Interactive())
        return fallback;
    for (;;) {
        std::fprintf(stderr, "%s [y/n]? ", question.c_str());
        std::string reply;
        if (!std::getline(std::cin, reply))
            return fallback;
        if (!reply.empty() && (reply[0] == 'y' || reply[0] == 'Y'))
            return true;
        if (!reply.empty() && (reply[0] == 'n' || reply[0] == 'N'))
            return false;
    }
}

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    struct sigaction timeout {};
    timeout.sa_handler = OnTerminateTimeout;
    sigemptyset(&timeout.sa_mask);
    ::sigaction(SIGALRM, &timeout, nullptr);
    // A caller may have started us with the signals blocked; an interrupt must still reach us.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGALRM);
    ::sigprocmask(SIG_UNBLOCK, &signals, nullptr);
}

void SetInstalling(bool installing) {
    g_installing = installing;
    if (!installing)
        ::alarm(0);
}

std::atomic<bool>& InterruptRequested() { return g_interrupted; }

bool TerminateRequested() { return g_terminate; }

std::string PlainText(const std::string& dialogText) {
    std::string out;
    for (std::size_t i = 0; i < dialogText.size(); ++i) {
        const char c = dialogText[i];
        if (c == '\n')
            out += ' ';
        else if (c == '&' && i + 1 < dialogText.size() && dialogText[i + 1] == '&')
            out += dialogText[i++];
        else
            out += c;
    }
    return out;
}

} // namespace quillon::cli
