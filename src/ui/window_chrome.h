#pragma once
#include <cstdint>

class QWidget;

namespace marl::ui {

// The frameless windows' drop shadow: a separate translucent, click-through, never-activated window
// that follows `owner` and draws `size` rings around it in `colour` (0x00BBGGRR). A second attach
// changes colour and size only; a size below 1 removes the shadow and returns false, as does a null
// owner. Details in ui/window_shadow.h.
bool AttachWindowShadow(QWidget* owner, uint32_t colour, int size);

// Bounds the size the user can drag `window` to. Details in ui/size_limit.h.
void AttachSizeLimit(QWidget* window, int minimum_width, int minimum_height, int maximum_width,
                     int maximum_height);

}  // namespace marl::ui
