#include "cli/TerminalProgress.h"

#include "cli/Terminal.h"
#include "install/ProgressDlg.h"
#include "support/Strings.h"
#include "support/Text.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillon::cli {

// The question of the cancel confirmation (dialog 135), in the interface language.
std::string ConfirmCancelQuestion() {
    return LoadText("CConfirmDlg.staticQuestion.text", "Вы уверены, что хотите прервать установку коллекции словарей?");
}

namespace {

std::atomic<bool> g_resized{false};

void OnResize(int) {
    g_resized = true;
}

// The terminal's width in columns; 80 when it cannot be had.
int TerminalWidth(std::FILE* out) {
    struct winsize size {};
    return ::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

// The first `columns` characters of `text` (UTF-8), with "…" in place of the rest.
std::string FitColumns(const std::string& text, int columns) {
    std::size_t at = 0;
    int used = 0;
    while (at < text.size() && used < columns) {
        at += std::max<std::size_t>(1, Utf8SequenceLength(std::string_view(text).substr(at)));
        ++used;
    }
    if (at >= text.size())
        return text;
    // No room for all of it: cut one character earlier and mark the cut.
    std::size_t cut = 0;
    for (int i = 0; i + 1 < columns && cut < text.size(); ++i)
        cut += std::max<std::size_t>(1, Utf8SequenceLength(std::string_view(text).substr(cut)));
    return text.substr(0, cut) + "\u2026";
}

} // namespace

// With --verbose the steps are printed as lines between the progress, so it is drawn as lines
// too, never as a bar redrawn in place.
TerminalProgress::TerminalProgress(bool assumeYes)
    : out_(ProgressStream()), terminal_(out_ && ::isatty(::fileno(out_)) && !Verbose()), assumeYes_(assumeYes) {
    if (terminal_) {
        struct sigaction action {};
        action.sa_handler = OnResize;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGWINCH, &action, &previousResize_);
    }
}

TerminalProgress::~TerminalProgress() {
    if (terminal_)
        ::sigaction(SIGWINCH, &previousResize_, nullptr);
}

void TerminalProgress::SetText(int control, const std::string& text) {
    const std::string plain = TerminalSafe(PlainText(text));
    if (texts_[control] == plain)
        return;
    texts_[control] = plain;
    if (!out_)
        return;
    if (!terminal_) {
        if (control == kCtlItem || control == kCtlTotalProfiles || control == kCtlStatus)
            std::fprintf(out_, "%s\n", plain.c_str());
        std::fflush(out_);
        return;
    }
    Draw();
}

void TerminalProgress::SetProgress(std::uint32_t position, std::uint32_t range) {
    const int percent = range ? static_cast<int>(std::uint64_t{position} * 100 / range) : 0;
    if (percent == percent_)
        return;
    percent_ = percent;
    if (terminal_)
        Draw();
}

// One line that fits the terminal, however narrow (the last column stays free, so that the
// cursor never wraps): the bar shrinks first, then the item's name is cut.
void TerminalProgress::Draw() {
    const int columns = TerminalWidth(out_) - 1;
    const int barWidth = std::clamp(columns / 4, 0, 24);
    std::string line;
    if (barWidth >= 4) {
        const int filled = percent_ * barWidth / 100;
        line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(barWidth - filled), '.') + "] ";
    }
    line += std::to_string(percent_) + "%  " + texts_[kCtlItem];
    if (!texts_[kCtlDictionaryNumber].empty())
        line += "  (" + texts_[kCtlDictionaryNumber] + ")";
    std::fprintf(out_, "\r\033[K%s", FitColumns(line, std::max(columns, 1)).c_str());
    std::fflush(out_);
    lineOpen_ = true;
}

void TerminalProgress::Finish() {
    if (lineOpen_)
        std::fprintf(out_, "\n");
    lineOpen_ = false;
    if (out_)
        std::fflush(out_);
}

void TerminalProgress::PumpMessages() {
    if (terminal_ && lineOpen_ && g_resized.exchange(false))
        Draw();
    if (page_ && InterruptRequested().exchange(false)) {
        Finish();
        page_->RequestCancel();
    }
}

bool TerminalProgress::ConfirmCancel() {
    if (assumeYes_ || TerminateRequested())
        return true;
    return AskYesNo(ConfirmCancelQuestion(), true);
}

void TerminalProgress::Beep() {
    if (terminal_)
        std::fputc('\a', stderr);
}

} // namespace quillon::cli
