#include "GuiTestSupport.h"

namespace quillon::guitest {

MessageAnswer RecordingMessages::Show(const MessageBoxRequest& request) {
    shown.push_back(request);
    if (!answers.empty()) {
        const MessageAnswer answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    return DefaultAnswer(request.buttons);
}

std::vector<int> RecordingMessages::Ids() const {
    std::vector<int> ids;
    for (const auto& request : shown)
        ids.push_back(request.id);
    return ids;
}

RecordingMessages& Recorded() {
    static RecordingMessages messages;
    return messages;
}

QObject& Watchers() {
    static QObject watchers;
    return watchers;
}

void StopWatchers() {
    qDeleteAll(Watchers().children());
}

QStringList LeftOverWindows() {
    StopWatchers();
    CloseAllDialogs();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList left;
    for (QWidget* widget : QApplication::topLevelWidgets())
        left << QString::fromLatin1(widget->metaObject()->className()) + ":" + widget->objectName();
    return left;
}

void CloseAllDialogs() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            dialog->done(2);
}

} // namespace quillon::guitest
