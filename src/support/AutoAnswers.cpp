#include "support/AutoAnswers.h"

#include "support/Text.h"

#include <charconv>
#include <cstdlib>
#include <utility>

namespace quillon {
namespace {

// Answer names; "Default" leaves `answer` empty (the box's default button). False: no answer name.
// Retry is none: nobody is there to change anything before the question comes again.
bool ParseAnswerName(std::string_view name, std::optional<MessageAnswer>& answer) {
    static constexpr std::pair<const char*, MessageAnswer> kNames[] = {
        {"ok", MessageAnswer::Ok}, {"cancel", MessageAnswer::Cancel}, {"yes", MessageAnswer::Yes},
        {"no", MessageAnswer::No},
    };
    const std::string folded = FoldCase(name);
    answer.reset();
    if (folded == "default")
        return true;
    for (const auto& [text, value] : kNames) {
        if (folded == text) {
            answer = value;
            return true;
        }
    }
    return false;
}

} // namespace

bool OffersAnswer(MessageButtons buttons, MessageAnswer answer) {
    switch (buttons) {
    case MessageButtons::Ok:
        return answer == MessageAnswer::Ok;
    case MessageButtons::OkCancel:
        return answer == MessageAnswer::Ok || answer == MessageAnswer::Cancel;
    case MessageButtons::RetryCancel:
        return answer == MessageAnswer::Retry || answer == MessageAnswer::Cancel;
    case MessageButtons::YesNo:
        return answer == MessageAnswer::Yes || answer == MessageAnswer::No;
    case MessageButtons::YesNoCancel:
        return answer == MessageAnswer::Yes || answer == MessageAnswer::No ||
               answer == MessageAnswer::Cancel;
    }
    return false;
}

std::optional<AutoAnswers> AutoAnswers::Parse(std::string_view value, std::string& error) {
    error.clear();
    if (Trim(value).empty())
        return std::nullopt;
    AutoAnswers answers;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t comma = value.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? value.size() : comma;
        const std::string item = Trim(value.substr(start, end - start));
        start = end + 1;
        if (item.empty()) {
            error = "empty item";
            return std::nullopt;
        }
        if (FoldCase(item) == "default") {
            if (comma == std::string_view::npos)
                break;
            continue;
        }
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos) {
            error = "\"" + item + "\" is neither \"default\" nor <id>=<answer>";
            return std::nullopt;
        }
        const std::string idText = Trim(std::string_view(item).substr(0, eq));
        const std::string answerText = Trim(std::string_view(item).substr(eq + 1));
        int id = 0;
        const auto [ptr, ec] = std::from_chars(idText.data(), idText.data() + idText.size(), id);
        if (idText.empty() || ec != std::errc() || ptr != idText.data() + idText.size() || id < 0) {
            error = "\"" + idText + "\" is not a string id";
            return std::nullopt;
        }
        std::optional<MessageAnswer> answer;
        if (!ParseAnswerName(answerText, answer)) {
            error = "\"" + answerText + "\" is not an answer (Ok, Cancel, Yes, No, Default; a Retry/Cancel "
                    "question is answered Cancel)";
            return std::nullopt;
        }
        answers.byId_[id] = answer;
        if (comma == std::string_view::npos)
            break;
    }
    return answers;
}

std::optional<AutoAnswers> AutoAnswers::FromEnvironment(std::string& error) {
    const char* value = std::getenv(kAutoAnswerVariable);
    return Parse(value ? value : "", error);
}

MessageAnswer AutoAnswers::Answer(const MessageBoxRequest& request) const {
    const auto it = byId_.find(request.id);
    if (it != byId_.end() && it->second && OffersAnswer(request.buttons, *it->second))
        return *it->second;
    return UnattendedDefault(request.buttons);
}

MessageAnswer UnattendedDefault(MessageButtons buttons) {
    return buttons == MessageButtons::RetryCancel ? MessageAnswer::Cancel : DefaultAnswer(buttons);
}

std::string MessageLogLine(const MessageBoxRequest& request) {
    std::string line = "message " + std::to_string(request.id) + ": ";
    const std::string& text = request.text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            line += "\\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            line += "\\n";
        } else {
            line.push_back(text[i]);
        }
    }
    return line;
}

} // namespace quillon
