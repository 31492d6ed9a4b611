#include "platform/StepJsonLines.h"

#include "support/Json.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace quillon {
namespace {

const char* IconName(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return "none";
    case MessageIcon::Error:
        return "error";
    case MessageIcon::Warning:
        return "warning";
    case MessageIcon::Question:
        return "question";
    case MessageIcon::Information:
        return "information";
    }
    return "?";
}

const char* ButtonsName(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return "ok";
    case MessageButtons::OkCancel:
        return "ok-cancel";
    case MessageButtons::RetryCancel:
        return "retry-cancel";
    case MessageButtons::YesNo:
        return "yes-no";
    case MessageButtons::YesNoCancel:
        return "yes-no-cancel";
    }
    return "?";
}

std::string ItemFields(const StepItem& item) {
    return std::string("\"kind\":\"") + StepItemKindName(item.kind) +
           "\",\"key\":" + JsonString(item.key) + ",\"name\":" + JsonString(item.name);
}

} // namespace

std::string UtcTimeStamp(std::chrono::system_clock::time_point when) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(ms % 1000));
    return text;
}

std::string Milliseconds(std::chrono::microseconds duration) {
    const long long us = std::max<long long>(0, duration.count());
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", us / 1000, us % 1000);
    std::string out = text;
    while (out.back() == '0')
        out.pop_back();
    if (out.back() == '.')
        out.pop_back();
    return out;
}

void StepJsonLines::Line(std::string_view event, const std::string& fields) {
    std::string line = "{";
    if (options_.time)
        line += "\"time\":\"" + UtcTimeStamp(std::chrono::system_clock::now()) + "\",";
    line += "\"event\":" + JsonString(event);
    if (!fields.empty())
        line += "," + fields;
    line += "}";
    if (!sink_.WriteLine(line))
        healthy_ = false;
}

void StepJsonLines::Note(std::string_view event, std::string_view fields) {
    Line(event, std::string(fields));
}

void StepJsonLines::ItemStarted(const StepItem& item) {
    itemStart_ = std::chrono::steady_clock::now();
    lastPercent_ = -1;
    Line("item-started", ItemFields(item));
}

void StepJsonLines::Progress(std::uint32_t position, std::uint32_t range) {
    if (!options_.progress || range == 0)
        return;
    const int percent =
        static_cast<int>(std::min<std::uint64_t>(100, std::uint64_t(position) * 100 / range));
    if (percent == lastPercent_)
        return;
    lastPercent_ = percent;
    Line("progress", "\"percent\":" + std::to_string(percent));
}

void StepJsonLines::ItemFinished(const StepItem& item, ItemOutcome outcome, const std::string& uid,
                                 const std::string& reason) {
    std::string fields = ItemFields(item) + ",\"result\":\"" + ItemOutcomeName(outcome) +
                         "\",\"installed\":" + (IsHeld(outcome) ? "true" : "false") +
                         ",\"uid\":" + JsonString(uid);
    if (!reason.empty())
        fields += ",\"reason\":" + JsonString(reason);
    if (itemStart_)
        fields += ",\"ms\":" + Milliseconds(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now() - *itemStart_));
    itemStart_.reset();
    Line("item-finished", fields);
}

void StepJsonLines::KernelCall(std::string_view operation, HRESULT status,
                               std::chrono::microseconds took) {
    if (!options_.kernelCalls)
        return;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(status));
    Line("kernel-call", "\"operation\":" + JsonString(operation) + ",\"status\":\"" + code +
                            "\",\"ms\":" + Milliseconds(took));
}

void StepJsonLines::MessageShown(const MessageBoxRequest& request, MessageAnswer answer) {
    Line("message",
         "\"id\":" + std::to_string(request.id) + ",\"text\":" + JsonString(request.text) +
             ",\"icon\":\"" + IconName(request.icon) + "\",\"buttons\":\"" +
             ButtonsName(request.buttons) + "\",\"answer\":\"" + MessageAnswerName(answer) + "\"");
}

void StepJsonLines::InstallationEnded(InstallResult result, int pageResult, int held, int failed,
                                      int cancelled) {
    Line("installation-ended", std::string("\"result\":\"") + InstallResultName(result) +
                                   "\",\"pageResult\":" + std::to_string(pageResult) +
                                   ",\"installed\":" + std::to_string(held) +
                                   ",\"failed\":" + std::to_string(failed) +
                                   ",\"cancelled\":" + std::to_string(cancelled));
}

} // namespace quillon
