#include "shell/QtMessagePort.h"

#include "support/Strings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

namespace quillon {

namespace {

// Labels of the standard buttons (the system's own texts).
constexpr int kOkLabelId = 2951;
constexpr int kCancelLabelId = 2952;
constexpr int kRetryLabelId = 2953;
constexpr int kYesLabelId = 2954;
constexpr int kNoLabelId = 2955;

QMessageBox::StandardButton ButtonOf(MessageAnswer answer) {
    switch (answer) {
    case MessageAnswer::Ok:
        return QMessageBox::Ok;
    case MessageAnswer::Cancel:
        return QMessageBox::Cancel;
    case MessageAnswer::Retry:
        return QMessageBox::Retry;
    case MessageAnswer::Yes:
        return QMessageBox::Yes;
    case MessageAnswer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons ButtonsOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

QString Text(int id) {
    return QString::fromStdString(LoadString(id));
}

// A text of many lines (a summary) gets a wider box, up to 600 pixels; one taller than three
// fifths of the screen scrolls inside the box, so the buttons stay on screen.
void FitLongText(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    const QScreen* screen = box.screen();
    if (!label || !grid || !screen || label->text().count('\n') < 6)
        return;
    const QRect available = screen->availableGeometry();
    const int maxHeight = available.height() * 3 / 5;
    label->setWordWrap(true);
    const int width = std::min({600, label->fontMetrics().horizontalAdvance(label->text()), available.width() / 2});
    label->setMinimumWidth(width);
    if (label->heightForWidth(width) <= maxHeight)
        return;
    auto* area = new QScrollArea(&box);
    area->setObjectName(QStringLiteral("messageScroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    delete grid->replaceWidget(label, area);
    area->setWidget(label);
    area->setFixedSize(width + area->verticalScrollBar()->sizeHint().width(), maxHeight);
}

} // namespace

std::unique_ptr<QMessageBox> QtMessagePort::BuildBox(const MessageBoxRequest& request,
                                                     QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(
        IconOf(request.icon), QString::fromStdString(request.caption),
        QString::fromStdString(request.text), ButtonsOf(request.buttons), parent);
    box->setObjectName(QStringLiteral("message%1").arg(request.id));
    box->setTextFormat(Qt::PlainText);
    const std::pair<QMessageBox::StandardButton, int> labels[] = {
        {QMessageBox::Ok, kOkLabelId},       {QMessageBox::Cancel, kCancelLabelId},
        {QMessageBox::Retry, kRetryLabelId}, {QMessageBox::Yes, kYesLabelId},
        {QMessageBox::No, kNoLabelId},
    };
    for (const auto& [button, id] : labels)
        if (QAbstractButton* b = box->button(button))
            b->setText(Text(id));
    box->setDefaultButton(ButtonOf(DefaultAnswer(request.buttons)));
    FitLongText(*box);
    return box;
}

MessageAnswer QtMessagePort::AnswerOf(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    case QMessageBox::Retry:
        return MessageAnswer::Retry;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Cancel;
    }
}

MessageAnswer QtMessagePort::Show(const MessageBoxRequest& request) {
    if (log_) {
        std::fprintf(log_, "%s\n", MessageLogLine(request).c_str());
        std::fflush(log_);
    }
    if (answers_)
        return answers_->Answer(request);
    if (request.beep)
        QApplication::beep();
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    auto box = BuildBox(request, parent);
    box->exec();
    const auto clicked = box->standardButton(box->clickedButton());
    // A box closed without a button (Escape on a box without Cancel) gives its default answer.
    return clicked == QMessageBox::NoButton ? DefaultAnswer(request.buttons) : AnswerOf(clicked);
}

} // namespace quillon
