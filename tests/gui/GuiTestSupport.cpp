#include "GuiTestSupport.h"

#include "shell/ConfirmDlg.h"

#include <QLabel>
#include <QTest>

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

QPushButton* Button(QWidget* page, const char* name) {
    return page->findChild<QPushButton*>(name);
}

QRadioButton* Radio(QWidget* page, const char* name) {
    return page->findChild<QRadioButton*>(name);
}

void AnswerConfirmation(bool yes, bool* texts, bool* missed) {
    WhenShown<CConfirmDlg>(
        [yes, texts](CConfirmDlg* confirm) {
            auto* question = confirm->findChild<QLabel*>("staticQuestion");
            *texts = question &&
                     question->text() == "Вы уверены, что хотите прервать установку коллекции словарей?" &&
                     Button(confirm, "ctl1")->text() == "&Да " && Button(confirm, "ctl2")->text() == "&Нет" &&
                     Button(confirm, "ctl1")->isDefault();
            QTest::mouseClick(Button(confirm, yes ? "ctl1" : "ctl2"), Qt::LeftButton);
        },
        5000, missed);
}

bool ProcessPostedEvents() {
    // Posted events run in the order they were posted: once this one has run, so have the others.
    bool reached = false;
    QMetaObject::invokeMethod(qApp, [&reached] { reached = true; }, Qt::QueuedConnection);
    for (int i = 0; i < 100 && !reached; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return reached;
}

void CloseAllDialogs() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            dialog->done(2);
}

} // namespace quillon::guitest
