// The main window's layout: the arithmetic, and every control where it lands.
#include "ui/main_layout.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "support/gui/find_control.h"
#include "ui/main_window.h"

namespace marl::ui {
namespace {

using test::Control;

struct LayoutCase {
    int width, height;
    MainLayout expected;
};

const LayoutCase kLayoutCases[] = {
    // top, buttons, search, tree, start, tab, list, status, grip x, grip y
    {900, 600, {905, 740, 348, 490, 555, 490, 457, 555, 890, 590}},
    {1920, 1080, {1925, 1760, 858, 970, 1035, 970, 937, 1035, 1910, 1070}},
    {901, 600, {906, 741, 348, 490, 555, 490, 457, 555, 891, 590}},  // 348.5 truncated
    {903, 601, {908, 743, 349, 491, 556, 491, 458, 556, 893, 591}},
    // A window smaller than the layout: negative values truncate toward zero.
    {101, 50, {106, -59, -51, -60, 5, -60, -93, 5, 91, 40}},
};

void ExpectLayout(const MainLayout& got, const MainLayout& want, int w, int h) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    EXPECT_EQ(got.top_width, want.top_width);
    EXPECT_EQ(got.buttons_left, want.buttons_left);
    EXPECT_EQ(got.search_left, want.search_left);
    EXPECT_EQ(got.tree_height, want.tree_height);
    EXPECT_EQ(got.start_top, want.start_top);
    EXPECT_EQ(got.tab_height, want.tab_height);
    EXPECT_EQ(got.list_height, want.list_height);
    EXPECT_EQ(got.status_top, want.status_top);
    EXPECT_EQ(got.grip_left, want.grip_left);
    EXPECT_EQ(got.grip_top, want.grip_top);
}

TEST(ComputeMainLayout, FloatingPointTruncatedTowardZero) {
    for (const LayoutCase& c : kLayoutCases) {
        ExpectLayout(ComputeMainLayout(c.width, c.height, 10, 10), c.expected, c.width, c.height);
    }
}

TEST(MainWindowLayout, ResizingMovesTheControlsAndKeepsTheWidths) {
    MainWindow window;
    window.show();
    for (const LayoutCase& c : {kLayoutCases[0], kLayoutCases[1], kLayoutCases[2], kLayoutCases[0]}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        window.resize(c.width, c.height);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.size() == QSize(c.width, c.height); }));
        const MainLayout& e = c.expected;
        EXPECT_EQ(Control(&window, "外形框_top")->geometry(), QRect(-2, -1, e.top_width, 49));
        EXPECT_EQ(Control(&window, "外形框_控制按钮")->geometry(), QRect(e.buttons_left, 12, 160, 23));
        EXPECT_EQ(Control(&window, "外形框_搜索")->geometry(), QRect(e.search_left, 11, 205, 24));
        EXPECT_EQ(Control(&window, "栏目框")->geometry(), QRect(5, 54, 172, e.tree_height));
        EXPECT_EQ(Control(&window, "外形框_开始")->geometry(), QRect(4, e.start_top, 176, 40));
        EXPECT_EQ(Control(&window, "高级选择夹1")->geometry(), QRect(185, 52, 624, e.tab_height));
        EXPECT_EQ(Control(&window, "超级列表框_新文章")->geometry(), QRect(2, 30, 620, e.list_height));
        // The lists of 查询 and 收藏 end where the article list ends.
        EXPECT_EQ(Control(&window, "超级列表框_查询")->geometry(), QRect(2, 52, 620, e.list_height - 22));
        EXPECT_EQ(Control(&window, "超级列表框_收藏")->geometry(), QRect(2, 30, 620, e.list_height));
        EXPECT_EQ(Control(&window, "状态框")->geometry(), QRect(185, e.status_top, 620, 40));
        EXPECT_EQ(Control(&window, "窗口大小控制")->geometry(), QRect(e.grip_left, e.grip_top, 10, 10));
    }
}

// Every control that the layout never moves, with its parent, at the design size.
TEST(MainWindowLayout, FixedControlsSitAtTheirTemplatePlaces) {
    struct Case {
        const char* name;
        const char* parent;
        QRect geometry;
    };
    const Case cases[] = {
        {"图片框1", "外形框_top", {14, 8, 32, 32}},
        {"透明标签1", "外形框_top", {51, 9, 228, 32}},
        {"外形框_搜索", "外形框_top", {348, 11, 205, 24}},
        {"图片框2", "外形框_搜索", {4, 4, 16, 16}},
        {"搜索框", "外形框_搜索", {24, 0, 160, 24}},
        {"外形框_控制按钮", "外形框_top", {740, 12, 160, 23}},
        {"设置按钮", "外形框_控制按钮", {36, -4, 32, 32}},
        {"外形框5", "外形框_控制按钮", {73, 0, 1, 24}},
        {"最小化", "外形框_控制按钮", {80, -4, 32, 32}},
        {"最大化", "外形框_控制按钮", {106, -4, 32, 32}},
        {"关闭", "外形框_控制按钮", {130, -4, 32, 32}},
        {"超级列表框_新文章", "高级选择夹1", {2, 30, 620, 457}},
        {"标签_查询结果", "高级选择夹1", {6, 30, 612, 22}},
        {"超级列表框_查询", "高级选择夹1", {2, 52, 620, 435}},
        {"超级列表框_收藏", "高级选择夹1", {2, 30, 620, 457}},
        {"标签1", "外形框_开始", {4, 5, 54, 24}},
        {"编辑框_频率", "外形框_开始", {62, 5, 33, 28}},
        {"开始按钮", "外形框_开始", {101, 5, 66, 28}},
    };
    MainWindow window;
    window.show();
    ASSERT_EQ(window.size(), QSize(900, 600));
    for (const Case& c : cases) {
        const QWidget* control = Control(&window, c.name);
        ASSERT_NE(control, nullptr) << c.name;
        EXPECT_EQ(control->parentWidget()->objectName(), QString::fromUtf8(c.parent)) << c.name;
        EXPECT_EQ(control->geometry(), c.geometry) << c.name;
    }
}

}  // namespace
}  // namespace marl::ui
