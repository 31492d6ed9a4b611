#pragma once
// Port: message boxes and questions. Every message the installer shows goes through one
// MessagePort: the Qt GUI's dialog handler, quillon-cli's terminal handler, or a scripted double
// in tests. Messages carry their string id, the stable key for pre-set answers.
#include <string>

namespace quillon {

enum class MessageIcon { None, Error, Warning, Question, Information };
enum class MessageButtons { Ok, OkCancel, RetryCancel, YesNo, YesNoCancel };
// The Windows button ids, so that answers compare with the page results.
enum class MessageAnswer { Ok = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7 };

struct MessageBoxRequest {
    int id = 0;              // string id of the text; 0 for texts that are not in the table
    std::string text;        // already formatted
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    bool beep = false;       // a system beep goes with the box
};

// The answer a box gives when nobody is asked: its first button.
MessageAnswer DefaultAnswer(MessageButtons buttons);

class MessagePort {
public:
    virtual ~MessagePort() = default;
    virtual MessageAnswer Show(const MessageBoxRequest& request) = 0;
};

} // namespace quillon
