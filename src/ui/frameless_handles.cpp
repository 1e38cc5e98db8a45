#include "ui/frameless_handles.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace marl::ui {

void WindowDrag::Press(QWidget* window, const QPoint& global) {
    window_ = window;
    press_global_ = global;
    window_start_ = window ? window->pos() : QPoint();
    active_ = window != nullptr;
    by_hand_ = false;
}

void WindowDrag::Move(const QPoint& global) {
    if (!active_ || !window_) return;
    if (!by_hand_) {
        QWindow* handle = window_->windowHandle();
        if (handle && handle->startSystemMove()) {
            // The platform moves the window from here on and keeps the release to itself.
            active_ = false;
            return;
        }
        by_hand_ = true;
    }
    window_->move(window_start_ + (global - press_global_));
}

void WindowDrag::Release() {
    active_ = false;
    by_hand_ = false;
}

TitleBar::TitleBar(QWidget* parent) : QFrame(parent) {}

void TitleBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) drag_.Press(window(), event->globalPosition().toPoint());
    event->accept();
}

void TitleBar::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) drag_.Move(event->globalPosition().toPoint());
    event->accept();
}

void TitleBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) drag_.Release();
    event->accept();
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        drag_.Release();
        emit DoubleClicked();
    }
    event->accept();
}

ResizeGrip::ResizeGrip(QWidget* parent) : QLabel(QStringLiteral("┛"), parent) {
    setStyleSheet(QStringLiteral("color: rgb(150, 150, 150);"));
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::SizeFDiagCursor);
}

void ResizeGrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
    event->accept();
    emit Pressed();
    QWidget* target = window();
    press_global_ = event->globalPosition().toPoint();
    window_start_ = target->size();
    QWindow* handle = target->windowHandle();
    by_hand_ = !(handle && handle->startSystemResize(Qt::BottomEdge | Qt::RightEdge));
}

void ResizeGrip::mouseMoveEvent(QMouseEvent* event) {
    if (!by_hand_ || !(event->buttons() & Qt::LeftButton)) return QLabel::mouseMoveEvent(event);
    event->accept();
    const QPoint delta = event->globalPosition().toPoint() - press_global_;
    // resize() keeps to the window's minimum and maximum sizes.
    window()->resize(window_start_.width() + delta.x(), window_start_.height() + delta.y());
}

void ResizeGrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) by_hand_ = false;
    QLabel::mouseReleaseEvent(event);
}

}  // namespace marl::ui
