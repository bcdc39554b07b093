#include "app/tray/WarningMark.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ostrell::app {

QIcon withWarningMark(const QIcon& picture) {
    QIcon marked;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = picture.pixmap(size, size);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size * 0.62, x = size - s, y = size - s;
        QPainterPath triangle;
        triangle.moveTo(x + s / 2, y);
        triangle.lineTo(x + s, y + s);
        triangle.lineTo(x, y + s);
        triangle.closeSubpath();
        p.setPen(QPen(QColor(90, 40, 0), qMax(1.0, size / 32.0)));
        p.setBrush(QColor(245, 180, 0));
        p.drawPath(triangle);
        // The exclamation mark: a bar and a dot.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 20, 0));
        const qreal w = s * 0.14;
        p.drawRect(QRectF(x + s / 2 - w / 2, y + s * 0.32, w, s * 0.36));
        p.drawEllipse(QRectF(x + s / 2 - w / 2, y + s * 0.76, w, w));
        p.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

}  // namespace ostrell::app
