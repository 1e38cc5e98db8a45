#pragma once

namespace marl::ui {

// What the main window's layout changes when its size changes; everything else stays where it is.
struct MainLayout {
    int top_width;     // 外形框_top
    int buttons_left;  // 外形框_控制按钮
    int search_left;   // 外形框_搜索
    int tree_height;   // 栏目框
    int start_top;     // 外形框_开始
    int tab_height;    // 高级选择夹1
    int list_height;   // 超级列表框_新文章
    int status_top;    // 状态框
    int grip_left;     // 窗口大小控制
    int grip_top;
};

// The layout for a window of `width` x `height`. Every value is computed in floating point and then
// truncated toward zero; the list's height is taken from the tab control's height as set.
MainLayout ComputeMainLayout(int width, int height, int grip_width, int grip_height);

}  // namespace marl::ui
