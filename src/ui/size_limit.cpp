#include "ui/size_limit.h"

#include <algorithm>

#include <QDynamicPropertyChangeEvent>
#include <QEvent>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace marl::ui {
namespace {

constexpr const char* kLimitProperties[] = {kMinimumWidthProperty, kMinimumHeightProperty,
                                            kMaximumWidthProperty, kMaximumHeightProperty};

int ReadLimit(const QWidget* window, const char* name) { return window->property(name).toInt(); }

int Bounded(int value) { return std::clamp(value, 0, QWIDGETSIZE_MAX); }
int BoundedMaximum(int value) { return value <= 0 ? QWIDGETSIZE_MAX : Bounded(value); }

}  // namespace

QObject* SizeLimitHookOf(const QWidget* window) {
    if (window == nullptr) return nullptr;
    return window->property(kSizeLimitHookProperty).value<QPointer<QObject>>().data();
}

SizeLimitHook::SizeLimitHook(QWidget* window)
    : QObject(window),
      window_(window),
      previous_minimum_(window->minimumSize()),
      previous_maximum_(window->maximumSize()) {}

void SizeLimitHook::Apply() {
    window_->setMinimumSize(Bounded(ReadLimit(window_, kMinimumWidthProperty)),
                            Bounded(ReadLimit(window_, kMinimumHeightProperty)));
    window_->setMaximumSize(BoundedMaximum(ReadLimit(window_, kMaximumWidthProperty)),
                            BoundedMaximum(ReadLimit(window_, kMaximumHeightProperty)));
}

bool SizeLimitHook::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    if (ReadLimit(window_, kCancelSizeLimitProperty) == 1) {
        // The event that noticed the cancel still reaches the window: dropping it could lose a
        // paint or an input event.
        Cancel();
        return false;
    }
    if (event->type() == QEvent::DynamicPropertyChange) {
        const QByteArray name = static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName();
        for (const char* limit : kLimitProperties) {
            if (name == limit) {
                Apply();
                break;
            }
        }
    }
    return false;
}

void SizeLimitHook::Cancel() {
    // Unhooked first: removing the properties below sends events of their own.
    window_->removeEventFilter(this);
    for (const char* name : kLimitProperties) window_->setProperty(name, QVariant());
    window_->setProperty(kSizeLimitHookProperty, QVariant());
    window_->setProperty(kCancelSizeLimitProperty, QVariant());
    window_->setMinimumSize(previous_minimum_);
    window_->setMaximumSize(previous_maximum_);
    deleteLater();
}

void AttachSizeLimit(QWidget* window, int minimum_width, int minimum_height, int maximum_width,
                     int maximum_height) {
    if (window == nullptr) return;
    auto* hook = qobject_cast<SizeLimitHook*>(SizeLimitHookOf(window));
    if (hook != nullptr) window->removeEventFilter(hook);  // set the four at once, then apply
    window->setProperty(kMinimumWidthProperty, minimum_width);
    window->setProperty(kMinimumHeightProperty, minimum_height);
    window->setProperty(kMaximumWidthProperty, maximum_width);
    window->setProperty(kMaximumHeightProperty, maximum_height);
    if (hook == nullptr) {
        hook = new SizeLimitHook(window);
        window->setProperty(kSizeLimitHookProperty, QVariant::fromValue(QPointer<QObject>(hook)));
    }
    hook->Apply();
    window->installEventFilter(hook);
}

}  // namespace marl::ui
