#include "ui/window_shadow.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QVariant>

namespace marl::ui {
namespace {

// Qt's pixel centres lie half a pixel in from whole coordinates: a 1-pixel line through them covers
// exactly one pixel row or column, so each ring's straight edges get its alpha unblurred.
constexpr qreal kPixelCentre = 0.5;
constexpr qreal kCornerRadius = 4.0;

// The owner's outer rectangle in screen coordinates.
QRect OwnerScreenRect(const QWidget* owner) {
    if (owner->isWindow()) return owner->frameGeometry();
    return QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
}

// Shows, places and repaints the owner's shadow, or hides it while the owner is hidden, minimised
// or maximised. `visible` is passed in because a show or hide event arrives before the owner's
// visibility flag tells the whole story (a minimised window still counts as visible).
void UpdateShadow(QWidget* owner, bool visible) {
    QWidget* shadow = ShadowOf(owner);
    if (shadow == nullptr) return;
    const bool folded = (owner->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) != 0;
    if (!visible || folded) {
        shadow->hide();
        return;
    }
    const QRect rect = OwnerScreenRect(owner);
    if (rect.width() == 0 || rect.height() == 0) {
        // Nothing to surround: the shadow stays where it was.
        if (shadow->isHidden()) shadow->show();
        return;
    }
    const int size = shadow->property(kShadowSizeProperty).toInt();
    // Placed before it is shown, so it never appears at a stale place for a moment.
    shadow->setGeometry(rect.adjusted(-size, -size, size, size));
    shadow->update();
    if (shadow->isHidden()) shadow->show();
}

// Watches the owner's moves, resizes, show/hide and state changes and keeps its shadow in step.
// It never consumes an event.
class ShadowFollower : public QObject {
  public:
    explicit ShadowFollower(QWidget* owner) : QObject(owner), owner_(owner) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != owner_) return false;
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WindowStateChange:
                UpdateShadow(owner_, owner_->isVisible());
                break;
            case QEvent::Show:
                // The owner's own window is mapped only after its show event: the shadow follows once
                // it is, so that no window manager sees a shadow belonging to a window it does not
                // know yet (one placed it at the screen's top-left, alone).
                QTimer::singleShot(0, this, [this] { UpdateShadow(owner_, owner_->isVisible()); });
                break;
            case QEvent::Hide:
                UpdateShadow(owner_, false);
                break;
            default:
                break;
        }
        return false;
    }

  private:
    QWidget* owner_;
};

void RemoveShadow(QWidget* owner) {
    if (QWidget* shadow = ShadowOf(owner)) {
        shadow->setProperty(kShadowColorProperty, QVariant());
        shadow->setProperty(kShadowSizeProperty, QVariant());
        delete shadow;
    }
    owner->setProperty(kShadowProperty, QVariant());
    if (QObject* hook = ShadowHookOf(owner)) {
        owner->removeEventFilter(hook);
        delete hook;
    }
    owner->setProperty(kShadowHookProperty, QVariant());
}

}  // namespace

int ShadowAlphaStep(int size) {
    if (size < 1) return 0;
    return size <= 8 ? 100 / size : 150 / size;
}

QColor ShadowColour(uint32_t colour, int alpha) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF), alpha);
}

void PaintShadowRings(QPainter& painter, QSize area, uint32_t colour, int size) {
    const int width = area.width();
    const int height = area.height();
    if (size < 1 || width <= 0 || height <= 0) return;
    painter.save();
    // The owner's own area stays fully transparent.
    const QRegion whole(0, 0, width, height);
    painter.setClipRegion(whole.subtracted(QRegion(size, size, width - 2 * size, height - 2 * size)));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    const int step = ShadowAlphaStep(size);
    // Ring i (from the outside, 1-based) is a 1-pixel outline through pixel row and column i - 1 on
    // every side, so the faintest ring is the outermost and the ring next to the owner has step × size.
    for (int i = 1; i <= size; ++i) {
        const int ring_width = width - 2 * i + 1;
        const int ring_height = height - 2 * i + 1;
        if (ring_width <= 0 || ring_height <= 0) break;
        painter.setPen(QPen(ShadowColour(colour, step * i), 1.0));
        painter.drawRoundedRect(QRectF(i - 1 + kPixelCentre, i - 1 + kPixelCentre, ring_width, ring_height),
                                kCornerRadius, kCornerRadius);
    }
    painter.restore();
}

QImage RenderShadowRings(QSize area, uint32_t colour, int size) {
    QImage image(area, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintShadowRings(painter, area, colour, size);
    return image;
}

QWidget* ShadowOf(const QWidget* owner) {
    if (owner == nullptr) return nullptr;
    return owner->property(kShadowProperty).value<QPointer<QWidget>>().data();
}

QObject* ShadowHookOf(const QWidget* owner) {
    if (owner == nullptr) return nullptr;
    return owner->property(kShadowHookProperty).value<QPointer<QObject>>().data();
}

WindowShadow::WindowShadow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint |
                         Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("Halo.Shadow"));
    // A topmost owner (the popup) keeps its shadow above other windows too, and the window manager
    // neither places nor stacks it: it goes exactly where the popup's rings belong.
    if (owner->windowFlags() & Qt::WindowStaysOnTopHint) {
        setWindowFlag(Qt::WindowStaysOnTopHint);
        setWindowFlag(Qt::BypassWindowManagerHint);
    }
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setEnabled(false);
    setGeometry(0, 0, 0, 0);
}

bool WindowShadow::event(QEvent* event) {
    if (event->type() == QEvent::DynamicPropertyChange) {
        UpdateShape();
        update();
    }
    return QWidget::event(event);
}

void WindowShadow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    PaintShadowRings(painter, size(), property(kShadowColorProperty).toUInt(), RingCount());
}

void WindowShadow::resizeEvent(QResizeEvent* event) {
    UpdateShape();
    QWidget::resizeEvent(event);
}

int WindowShadow::RingCount() const { return property(kShadowSizeProperty).toInt(); }

void WindowShadow::UpdateShape() {
    const int size = RingCount();
    const QRegion whole(rect());
    if (size < 1 || width() <= 2 * size || height() <= 2 * size) {
        clearMask();
        return;
    }
    setMask(whole.subtracted(QRegion(size, size, width() - 2 * size, height() - 2 * size)));
}

bool AttachWindowShadow(QWidget* owner, uint32_t colour, int size) {
    if (owner == nullptr) return false;
    if (size < 1) {
        RemoveShadow(owner);
        return false;
    }
    QWidget* shadow = ShadowOf(owner);
    if (shadow == nullptr) {
        shadow = new WindowShadow(owner);
        owner->setProperty(kShadowProperty, QVariant::fromValue(QPointer<QWidget>(shadow)));
    }
    shadow->setProperty(kShadowColorProperty, QVariant::fromValue(static_cast<uint>(colour)));
    shadow->setProperty(kShadowSizeProperty, size);
    UpdateShadow(owner, owner->isVisible());
    // The owner is watched once, however often the shadow is attached.
    if (ShadowHookOf(owner) == nullptr) {
        auto* hook = new ShadowFollower(owner);
        owner->installEventFilter(hook);
        owner->setProperty(kShadowHookProperty, QVariant::fromValue(QPointer<QObject>(hook)));
    }
    return true;
}

}  // namespace marl::ui
