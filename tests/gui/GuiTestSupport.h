#pragma once
// Support of the Qt tests: a recording message port, helpers that act on modal dialogs while
// they run, and the check that no top-level window is left over.
#include "platform/MessagePort.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace quillon::guitest {

// Records every message and answers from a queue, else with the box's default button.
class RecordingMessages : public MessagePort {
public:
    MessageAnswer Show(const MessageBoxRequest& request) override;
    std::vector<int> Ids() const;
    std::vector<MessageBoxRequest> shown;
    std::vector<MessageAnswer> answers;
};

// The installed recording port (the test main installs it; each test clears it in init()).
RecordingMessages& Recorded();

// The parent of every WhenShown watcher; StopWatchers ends those still waiting.
QObject& Watchers();
void StopWatchers();

// Runs `action` on the first visible top-level T (other than `except`) as soon as one appears;
// once only. Gives up after `timeoutMs`, marking the failure in *missed when given.
template <class T>
void WhenShown(std::function<void(T*)> action, int timeoutMs = 5000, bool* missed = nullptr,
               QWidget* except = nullptr) {
    auto* timer = new QTimer(&Watchers());
    auto elapsed = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action, elapsed, timeoutMs, missed, except] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<T*>(widget);
                found && found != except && found->isVisible()) {
                timer->stop();
                timer->deleteLater();
                action(found);
                return;
            }
        }
        *elapsed += 10;
        if (*elapsed > timeoutMs) {
            if (missed)
                *missed = true;
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

// Controls by their object names ("ctl1").
QPushButton* Button(QWidget* page, const char* name);
QRadioButton* Radio(QWidget* page, const char* name);

// Answers the next cancel confirmation with "&Да " (true) or "&Нет", checking its texts first
// (*texts) and marking *missed when none appears.
void AnswerConfirmation(bool yes, bool* texts, bool* missed);

// Runs every event posted so far (a queued close, a deferred call) and answers whether it got
// through them: what has not happened by then was never asked for.
bool ProcessPostedEvents();

// Counts the top-level T shown while it lives, ending each (reject, or close) as soon as it
// shows, so that a modal one cannot hold the test up: a box that should never appear is caught
// by the time the call that would show it returns.
template <class T>
class ShowCounter : public QObject {
public:
    ShowCounter() { qApp->installEventFilter(this); }
    ~ShowCounter() override { qApp->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* widget = qobject_cast<T*>(object); widget && widget->isWindow()) {
                ++count;
                QPointer<T> guard(widget);
                QMetaObject::invokeMethod(
                    widget,
                    [guard] {
                        if (auto* dialog = qobject_cast<QDialog*>(guard.data()))
                            dialog->reject();
                        else if (guard)
                            guard->close();
                    },
                    Qt::QueuedConnection);
            }
        return false;
    }
};

// Ends every visible modal dialog with Cancel: the watchdog after a failed step, so that a test
// never hangs in a dialog nobody answers.
void CloseAllDialogs();

// The end of every test: stops the watchers, closes what a failed test left open, and answers
// the top-level windows still there (none after a sound test).
QStringList LeftOverWindows();

// Test objects, one per file.
QObject* NewPagesTest();
QObject* NewMainFrameTest();
QObject* NewMessagesTest();
QObject* NewInstanceTest();
QObject* NewProgramTest();
QObject* NewWizardPagesTest();
QObject* NewWholeWizardTest();

} // namespace quillon::guitest
