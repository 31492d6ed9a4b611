#include "support/Messages.h"

#include "platform/Ports.h"
#include "support/Strings.h"

namespace quillon {

MessageAnswer ShowMessage(int id, MessageIcon icon, MessageButtons buttons,
                          std::initializer_list<FormatArg> args) {
    MessageBoxRequest request;
    request.id = id;
    request.text = FormatText(LoadString(id), args);
    request.caption = LoadString(kAppTitleId);
    request.icon = icon;
    request.buttons = buttons;
    return Messages().Show(request);
}

MessageAnswer ShowMessageText(int id, const std::string& text, MessageIcon icon, MessageButtons buttons) {
    MessageBoxRequest request;
    request.id = id;
    request.text = text;
    request.caption = LoadString(kAppTitleId);
    request.icon = icon;
    request.buttons = buttons;
    return Messages().Show(request);
}

MessageAnswer ShowText(const std::string& text, MessageIcon icon, MessageButtons buttons) {
    MessageBoxRequest request;
    request.text = text;
    request.caption = LoadString(kAppTitleId);
    request.icon = icon;
    request.buttons = buttons;
    return Messages().Show(request);
}

} // namespace quillon
