#pragma once
#include <QObject>
#include <QSize>

#include "ui/window_chrome.h"

class QWidget;

namespace marl::ui {

// Where a size limit keeps its state. The four limits may be changed later through the properties;
// setting "Cancel the limit" to 1 removes the limit (and these properties) at the next event.
inline constexpr char kMinimumWidthProperty[] = "minimum width";
inline constexpr char kMinimumHeightProperty[] = "minimum height";
inline constexpr char kMaximumWidthProperty[] = "maximum width";
inline constexpr char kMaximumHeightProperty[] = "maximum height";
inline constexpr char kSizeLimitHookProperty[] = "Limit size";
inline constexpr char kCancelSizeLimitProperty[] = "Cancel the limit";

// The object that holds a window to its limits, or null when there is none.
QObject* SizeLimitHookOf(const QWidget* window);

// Watches the limited window: applies the limit properties whenever they change and removes itself
// when asked to. The limits themselves are the window's minimum and maximum size, which Qt hands
// to the window system as the bounds of an interactive resize; the sizes the window had before are
// put back on removal. It never consumes an event.
class SizeLimitHook : public QObject {
    Q_OBJECT
  public:
    explicit SizeLimitHook(QWidget* window);

    // Applies the four limit properties (a missing one reads 0; a maximum of 0 or less is no bound).
    void Apply();
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Cancel();

    QWidget* window_;
    QSize previous_minimum_;
    QSize previous_maximum_;
};

}  // namespace marl::ui
