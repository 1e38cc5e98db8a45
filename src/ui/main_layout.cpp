#include "ui/main_layout.h"

namespace marl::ui {
namespace {

// Truncation toward zero, also for the negative values of a very small window.
int Truncate(double value) { return static_cast<int>(value); }

}  // namespace

MainLayout ComputeMainLayout(int width, int height, int grip_width, int grip_height) {
    const double w = width;
    const double h = height;
    MainLayout layout{};
    layout.top_width = Truncate(w + 5);
    layout.buttons_left = Truncate(w - 160);
    layout.search_left = Truncate(w / 2 - 102);
    layout.tree_height = Truncate(h - 110);
    layout.start_top = Truncate(h - 45);
    layout.tab_height = Truncate(h - 110);
    layout.list_height = Truncate(static_cast<double>(layout.tab_height) - 33);
    layout.status_top = Truncate(h - 45);
    layout.grip_left = Truncate(w - grip_width);
    layout.grip_top = Truncate(h - grip_height);
    return layout;
}

}  // namespace marl::ui
