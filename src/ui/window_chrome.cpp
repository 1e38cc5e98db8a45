#include "ui/window_chrome.h"

#include <QWidget>

namespace marl::ui {

// Placeholders until the chrome is built: the limits hold, no shadow is drawn.
bool AttachWindowShadow(QWidget*, uint32_t, int) { return false; }

void AttachSizeLimit(QWidget* window, int minimum_width, int minimum_height, int maximum_width,
                     int maximum_height) {
    if (window == nullptr) return;
    window->setMinimumSize(minimum_width, minimum_height);
    window->setMaximumSize(maximum_width, maximum_height);
}

}  // namespace marl::ui
