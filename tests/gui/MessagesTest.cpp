// The one message handler: the box it shows, its answers, unattended answers and the stderr line.
#include "support/Messages.h"
#include "GuiTestSupport.h"
#include "platform/Ports.h"
#include "shell/QtMessagePort.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QPushButton>
#include <QTest>
#include <cstdio>

namespace quillon::guitest {

namespace {

std::string ReadAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[512];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}

AutoAnswers Parse(const char* value) {
    std::string error;
    auto answers = AutoAnswers::Parse(value, error);
    if (!answers)
        qFatal("bad answers %s: %s", value, error.c_str());
    return *answers;
}

} // namespace

class MessagesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        const QStringList left = LeftOverWindows();
        QVERIFY2(left.isEmpty(), qPrintable("top-level windows left over: " + left.join(", ")));
    }

    void boxCarriesTheRequestsIconButtonsAndDefault() {
        MessageBoxRequest request;
        request.id = 2016;
        request.text = "Установка выбранной коллекции словарей закончена.\nХотите установить "
                       "другую коллекцию?";
        request.caption = "Инсталлятор словарей";
        request.icon = MessageIcon::Question;
        request.buttons = MessageButtons::YesNo;
        auto box = QtMessagePort::BuildBox(request, nullptr);
        QCOMPARE(box->objectName(), QString("message2016"));
        QCOMPARE(box->windowTitle(), QString("Инсталлятор словарей"));
        QCOMPARE(box->text(), QString::fromStdString(request.text));
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->button(QMessageBox::Yes)->text(), QString("&Да"));
        QCOMPARE(box->button(QMessageBox::No)->text(), QString("&Нет"));
        QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()),
                 box->button(QMessageBox::Yes));

        request.icon = MessageIcon::Error;
        request.buttons = MessageButtons::RetryCancel;
        box = QtMessagePort::BuildBox(request, nullptr);
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()),
                 box->button(QMessageBox::Retry));
        QCOMPARE(box->button(QMessageBox::Cancel)->text(), QString("Отмена"));
    }

    // A summary of hundreds of objects scrolls inside the box: shown, the box fits on the screen
    // with its buttons, and a short text gets no scroll area.
    void aLongTextScrollsInsideTheBox() {
        MessageBoxRequest request;
        request.id = 2044;
        request.text = "Установка выбранной коллекции словарей закончена, но установлено не всё.\n\nНе установлены:";
        for (int i = 0; i < 400; ++i)
            request.text += "\nАнгло-русский словарь \"Словарь " + std::to_string(i) +
                            "\" — Ошибка при импортировании словаря.";
        request.buttons = MessageButtons::YesNo;
        auto box = QtMessagePort::BuildBox(request, nullptr);
        QVERIFY(box->findChild<QScrollArea*>("messageScroll"));
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        const QRect screen = box->screen()->availableGeometry();
        QVERIFY2(box->frameGeometry().height() <= screen.height(),
                 qPrintable(QString("%1 > %2").arg(box->frameGeometry().height()).arg(screen.height())));
        QVERIFY(box->button(QMessageBox::Yes)->isVisible());
        box->close();

        request.text = "Установка выбранной коллекции словарей прервана.";
        box = QtMessagePort::BuildBox(request, nullptr);
        QVERIFY(!box->findChild<QScrollArea*>("messageScroll"));
    }

    void shownBoxAnswersTheClickedButtonAndLogsTheLine() {
        std::FILE* log = std::tmpfile();
        QVERIFY(log);
        QtMessagePort port(std::nullopt, log);
        ScopedPorts ports(Ports{.messages = &port});
        bool missed = false;
        QString shownText;
        WhenShown<QMessageBox>(
            [&](QMessageBox* box) {
                shownText = box->text();
                QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
            },
            5000, &missed);
        const MessageAnswer answer = ShowMessage(2016, MessageIcon::None, MessageButtons::YesNo);
        QVERIFY(!missed);
        QCOMPARE(answer, MessageAnswer::No);
        QVERIFY(shownText.startsWith("Установка выбранной коллекции словарей закончена.\nХотите"));
        QCOMPARE(QString::fromStdString(ReadAll(log)),
                 QString("message 2016: Установка выбранной коллекции словарей закончена.\\nХотите "
                         "установить "
                         "другую коллекцию?\n"));
        std::fclose(log);
    }

    void unattendedAnswersShowNothing() {
        std::FILE* log = std::tmpfile();
        QVERIFY(log);
        QtMessagePort port(Parse("2016=No,57356=Cancel"), log);
        ScopedPorts ports(Ports{.messages = &port});
        ShowCounter<QMessageBox> boxes;
        QCOMPARE(ShowMessage(2016, MessageIcon::None, MessageButtons::YesNo), MessageAnswer::No);
        QCOMPARE(ShowMessage(57356, MessageIcon::Error, MessageButtons::RetryCancel),
                 MessageAnswer::Cancel);
        QCOMPARE(ShowMessage(1035), MessageAnswer::Ok);
        QCOMPARE(ShowMessage(2016, MessageIcon::None, MessageButtons::YesNoCancel),
                 MessageAnswer::No);
        QCOMPARE(boxes.count, 0);
        const std::string text = ReadAll(log);
        QCOMPARE(std::count(text.begin(), text.end(), '\n'), 4);
        QVERIFY(text.find("message 1035: Систем перевода семейства KALDO на вашем компьютере не "
                          "обнаружено.\n") != std::string::npos);
        QVERIFY(text.find("message 57356: ") != std::string::npos);
        std::fclose(log);
    }
};

QObject* NewMessagesTest() {
    return new MessagesTest;
}

} // namespace quillon::guitest

#include "MessagesTest.moc"
