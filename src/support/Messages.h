#pragma once
// Showing the system's messages: the text of a string id, formatted with its arguments, in a box
// captioned with the application title (string 57344), through the installed MessagePort.
#include "platform/MessagePort.h"
#include "support/Format.h"

#include <initializer_list>
#include <string>

namespace quillon {

inline constexpr int kAppTitleId = 57344;

MessageAnswer ShowMessage(int id, MessageIcon icon = MessageIcon::None,
                          MessageButtons buttons = MessageButtons::Ok,
                          std::initializer_list<FormatArg> args = {});

// Message `id` shown with a text of the caller's (a variant of the table's text).
MessageAnswer ShowMessageText(int id, const std::string& text, MessageIcon icon = MessageIcon::None,
                              MessageButtons buttons = MessageButtons::Ok);

// A text that is not in the string table (a service's own description or answer).
MessageAnswer ShowText(const std::string& text, MessageIcon icon = MessageIcon::None,
                       MessageButtons buttons = MessageButtons::Ok);

} // namespace quillon
