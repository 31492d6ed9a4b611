#include "shell/Artwork.h"

#include "shell/WizardPage.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace quillon {

// A night-blue panel with a stack of three books and a quill, in the main window's blues.
QPixmap Bitmap132() {
    const int w = DluX(90);
    const int h = DluY(158);
    QPixmap pixmap(w, h);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0, 0, 255));
    sky.setColorAt(1, QColor(0, 0, 60));
    p.fillRect(0, 0, w, h, sky);

    const QColor covers[] = {QColor(200, 40, 40), QColor(40, 140, 70), QColor(230, 180, 40)};
    int y = h - 40;
    for (int i = 0; i < 3; ++i) {
        const QRectF book(18 + i * 4, y - i * 26, w - 36 - i * 8, 22);
        p.setPen(QPen(QColor(20, 20, 30), 1.5));
        p.setBrush(covers[i]);
        p.drawRoundedRect(book, 3, 3);
        p.setBrush(QColor(245, 240, 225));
        p.drawRect(QRectF(book.right() - 10, book.top() + 4, 8, book.height() - 8));
        p.setPen(QPen(QColor(255, 255, 255, 180), 1));
        p.drawLine(QPointF(book.left() + 8, book.center().y()),
                   QPointF(book.right() - 16, book.center().y()));
    }

    QPainterPath quill;
    quill.moveTo(w * 0.30, h * 0.55);
    quill.cubicTo(w * 0.40, h * 0.25, w * 0.70, h * 0.12, w * 0.85, h * 0.08);
    quill.cubicTo(w * 0.75, h * 0.25, w * 0.55, h * 0.42, w * 0.30, h * 0.55);
    p.setPen(QPen(QColor(210, 220, 255), 1.2));
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawPath(quill);
    p.setPen(QPen(QColor(30, 30, 60), 1.5));
    p.drawLine(QPointF(w * 0.30, h * 0.55), QPointF(w * 0.62, h * 0.26));

    p.setPen(QColor(255, 255, 255));
    QFont font("DejaVu Serif");
    font.setPixelSize(26);
    font.setBold(true);
    font.setItalic(true);
    p.setFont(font);
    p.drawText(QRect(0, 12, w, 34), Qt::AlignHCenter | Qt::AlignTop, "Q");
    return pixmap;
}

QPixmap Icon178() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient ball(12, 10, 22);
    ball.setColorAt(0, QColor(120, 160, 255));
    ball.setColorAt(1, QColor(0, 40, 200));
    p.setPen(QPen(QColor(0, 20, 120), 1));
    p.setBrush(ball);
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    p.setPen(Qt::white);
    QFont font("DejaVu Sans");
    font.setPixelSize(22);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, "?");
    return pixmap;
}

} // namespace quillon
