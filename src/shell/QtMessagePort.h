#pragma once
// The Qt front end's message handler: every message box and question of the installer. Each
// message shown or answered is written to stderr as "message <id>: <text>". With unattended
// answers (QUILLON_AUTO_ANSWER) nothing is shown and the answer comes from them.
#include "platform/MessagePort.h"
#include "support/AutoAnswers.h"

#include <QMessageBox>
#include <cstdio>
#include <memory>
#include <optional>

namespace quillon {

class QtMessagePort : public MessagePort {
public:
    explicit QtMessagePort(std::optional<AutoAnswers> answers, std::FILE* log = stderr)
        : answers_(std::move(answers)), log_(log) {}

    MessageAnswer Show(const MessageBoxRequest& request) override;

    // The box for `request`: its caption, text, icon and buttons (labelled with the system's
    // own texts), the default button DefaultAnswer's. Object name "message<id>".
    static std::unique_ptr<QMessageBox> BuildBox(const MessageBoxRequest& request, QWidget* parent);
    // The answer of a standard button.
    static MessageAnswer AnswerOf(QMessageBox::StandardButton button);

private:
    std::optional<AutoAnswers> answers_;
    std::FILE* log_;
};

} // namespace quillon
