#include "ui/image_button.h"

#include <QEnterEvent>
#include <QPainter>

namespace marl::ui {

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void ImageButton::SetPictures(const QPixmap& normal, const QPixmap& hover) {
    normal_ = normal;
    hover_ = hover;
    update();
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap& picture = hovered_ ? hover_ : normal_;
    if (picture.isNull()) return;
    const QSize size = picture.deviceIndependentSize().toSize();
    painter.drawPixmap((width() - size.width()) / 2, (height() - size.height()) / 2, picture);
}

void ImageButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace marl::ui
