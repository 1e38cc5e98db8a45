#include "ui/window_icons.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace marl::ui {
namespace {

constexpr int kPictureSize = 16;

QPixmap Transparent(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QPixmap LogoPixmap(int size) {
    QPixmap pixmap = Transparent(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(32, 120, 220));
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.2, s * 0.2);
    QPen pen(Qt::white, s * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath m;
    m.moveTo(s * 0.22, s * 0.76);
    m.lineTo(s * 0.22, s * 0.28);
    m.lineTo(s * 0.5, s * 0.58);
    m.lineTo(s * 0.78, s * 0.28);
    m.lineTo(s * 0.78, s * 0.76);
    p.drawPath(m);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 80, 60));
    p.drawEllipse(QPointF(s * 0.82, s * 0.18), s * 0.13, s * 0.13);
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128}) icon.addPixmap(LogoPixmap(size));
    return icon;
}

QPixmap MagnifierPixmap() {
    QPixmap pixmap = Transparent(kPictureSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 120, 120), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
    p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
    return pixmap;
}

QPixmap ButtonPicture(ButtonGlyph glyph, bool hover) {
    QPixmap pixmap = Transparent(kPictureSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QColor ink = hover ? QColor(20, 20, 20) : QColor(110, 110, 110);
    if (hover && glyph == ButtonGlyph::kClose) ink = QColor(220, 40, 40);
    p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
        case ButtonGlyph::kSettings:
            // Three lines: a menu.
            for (const qreal y : {4.5, 8.0, 11.5}) p.drawLine(QPointF(3, y), QPointF(13, y));
            break;
        case ButtonGlyph::kMinimise:
            p.drawLine(QPointF(3, 8.5), QPointF(13, 8.5));
            break;
        case ButtonGlyph::kMaximise:
            p.drawRect(QRectF(3.5, 3.5, 9, 9));
            break;
        case ButtonGlyph::kRestore:
            p.drawRect(QRectF(3.5, 5.5, 7, 7));
            p.drawPolyline(QPolygonF({QPointF(5.5, 5.5), QPointF(5.5, 3.5), QPointF(12.5, 3.5),
                                      QPointF(12.5, 10.5), QPointF(10.5, 10.5)}));
            break;
        case ButtonGlyph::kClose:
            p.drawLine(QPointF(4, 4), QPointF(12, 12));
            p.drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
    }
    return pixmap;
}

QIcon TreeHeaderIcon() {
    QPixmap pixmap = Transparent(kPictureSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(46, 160, 90));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
    p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
    return QIcon(pixmap);
}

QIcon TreePlanIcon() {
    QPixmap pixmap = Transparent(kPictureSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(32, 120, 220), 1.3));
    p.setBrush(QColor(225, 238, 252));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    return QIcon(pixmap);
}

}  // namespace marl::ui
