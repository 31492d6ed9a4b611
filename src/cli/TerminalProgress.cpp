#include "cli/TerminalProgress.h"

#include "cli/Terminal.h"
#include "install/ProgressDlg.h"
#include "support/Strings.h"
#include "support/Text.h"

#include <cstdio>
#include <unistd.h>

namespace quillon::cli {

// The question of the cancel confirmation (dialog 135), in the interface language.
std::string ConfirmCancelQuestion() {
    return LoadText("CConfirmDlg.staticQuestion.text", "Вы уверены, что хотите прервать установку коллекции словарей?");
}

TerminalProgress::TerminalProgress(bool assumeYes)
    : out_(ProgressStream()), terminal_(out_ && ::isatty(::fileno(out_))), assumeYes_(assumeYes) {}

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

void TerminalProgress::Draw() {
    constexpr int kWidth = 24;
    const int filled = percent_ * kWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    std::string line = "[" + bar + "] " + std::to_string(percent_) + "%  " + texts_[kCtlItem];
    if (!texts_[kCtlDictionaryNumber].empty())
        line += "  (" + texts_[kCtlDictionaryNumber] + ")";
    std::fprintf(out_, "\r\033[K%s", line.c_str());
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
