#pragma once
// Unattended answers to message boxes (QUILLON_AUTO_ANSWER) and the one-line record every
// shown or answered message leaves on stderr. Shared by every front end's message handler.
//
// The variable's forms:
//   "default"                 every box takes its unattended default (UnattendedDefault)
//   "2016=No,57356=Cancel"    answers by string id; boxes of other ids take the default
// Entries may be mixed ("default,2016=No"); blanks around items are ignored. Answers, without
// regard to case: Ok, Cancel, Yes, No, Default. An answer that the box does not offer (Cancel
// for a Yes/No question) gives the default instead. Retry is no answer: a Retry/Cancel question
// is answered Cancel, so that no unattended run asks the same question forever.
#include "platform/MessagePort.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

inline constexpr const char* kAutoAnswerVariable = "QUILLON_AUTO_ANSWER";

class AutoAnswers {
public:
    // Parses the variable's value. An empty value answers nullopt with `error` empty (boxes are
    // shown); a malformed one answers nullopt with `error` naming the bad item.
    static std::optional<AutoAnswers> Parse(std::string_view value, std::string& error);
    // Reads QUILLON_AUTO_ANSWER from the environment (same results as Parse).
    static std::optional<AutoAnswers> FromEnvironment(std::string& error);

    // The answer given to `request` without showing it.
    MessageAnswer Answer(const MessageBoxRequest& request) const;

private:
    std::map<int, std::optional<MessageAnswer>> byId_; // nullopt: the default button
};

// The answer a box gets unattended without an answer of its own: its default button, except
// Cancel for Retry/Cancel.
MessageAnswer UnattendedDefault(MessageButtons buttons);

// Whether `buttons` offers `answer`.
bool OffersAnswer(MessageButtons buttons, MessageAnswer answer);

// "message <id>: <text>" with every line break of the text written as the two characters \n
// (no trailing newline).
std::string MessageLogLine(const MessageBoxRequest& request);

} // namespace quillon
