#include "shell/MainFrame.h"

#include "shell/WizardPage.h"
#include "support/Strings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <charconv>

namespace quillon {

namespace {
constexpr int kWindowTitleId = 1006;
constexpr int kBackgroundTitleId = 1000;
constexpr int kFontFaceId = 1007;
constexpr int kFontHeightId = 1008;
} // namespace

CMainFrame::CMainFrame() : QWidget(nullptr) {
    // Caption only: no system menu, no minimise/maximise/close box, not resizable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QString::fromStdString(LoadString(kWindowTitleId)));
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
}

void CMainFrame::OnCommand(int command) {
    if (commandHandler_)
        commandHandler_(command);
}

// A width-2 pen centred on row y covers rows y-1 and y, so the line at y = h fills the last row.
void CMainFrame::PaintBackground(QPainter& painter, const QSize& size) {
    const int w = size.width();
    const int h = size.height();
    if (h > 0) {
        for (int y = 0; y <= h; y += 2)
            painter.fillRect(QRect(0, y - 1, w, 2), QColor(0, 0, 255 - y * 255 / h));
    }

    int height = 0;
    const std::string heightText = LoadString(kFontHeightId);
    std::from_chars(heightText.data(), heightText.data() + heightText.size(), height);
    if (height <= 0 || height > 400)
        height = 30;
    QFont font(QString::fromStdString(LoadString(kFontFaceId)));
    // A positive height is the character cell's height in pixels. The character set (string
    // 1009, Cyrillic) has no counterpart here: the font's coverage follows the text.
    font.setPixelSize(height);
    font.setWeight(QFont::Bold); // 700
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QString title = QString::fromStdString(LoadString(kBackgroundTitleId));
    painter.drawText(QRect(height / 2, height / 2, w, h),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
}

void CMainFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBackground(painter, size());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    closed_ = true;
    event->accept();
}

int CMainFrame::OnGoHome() {
    noPageOpen_ = true;
    // The open page is a dialog owned by this window; pages end themselves on the message.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (!dialog || !dialog->isVisible() || dialog->parentWidget() != this)
            continue;
        noPageOpen_ = false;
        dialog->raise();
        dialog->activateWindow();
        if (auto* page = qobject_cast<CWizardPage*>(dialog))
            page->OnGoHome();
        break;
    }
    if (noPageOpen_)
        PostClose();
    return 0;
}

void CMainFrame::BringToFront() {
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = this;
    front->raise();
    front->activateWindow();
}

void CMainFrame::PostClose() {
    QPointer<CMainFrame> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (self && !self->closed_)
                self->close();
        },
        Qt::QueuedConnection);
}

} // namespace quillon
