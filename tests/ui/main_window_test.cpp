// The main window's controls and what every mouse action on them does.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QUrl>
#include <vector>

#include "support/gui/browser_stand_in.h"
#include "support/gui/find_control.h"
#include "support/gui/message_box_recorder.h"
#include "ui/article_list.h"
#include "ui/image_button.h"
#include "ui/status_box.h"
#include "ui/window_icons.h"

namespace marl::ui {
namespace {

using test::Control;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    }
    ArticleList* List() { return window_.article_list(); }
    QString Status() { return window_.status_box()->WholeText(); }
    void AddRows(int count) {
        for (int i = 1; i <= count; ++i) {
            List()->InsertArticleRow(QStringLiteral("站%1").arg(i), QStringLiteral("标题%1").arg(i),
                                     QStringLiteral("http://127.0.0.1/a/%1?x=1&amp;y=2").arg(i),
                                     QStringLiteral("03-05 07:0%1").arg(i));
        }
    }
    QPoint RowCentre(int row) { return List()->visualItemRect(List()->topLevelItem(row)).center(); }
    QPoint BelowRows() { return QPoint(100, List()->viewport()->height() - 5); }
    bool SamePicture(const QPixmap& a, const QPixmap& b) { return a.toImage() == b.toImage(); }

    test::BrowserStandIn browser_;
    MainWindow window_;
};

TEST_F(MainWindowTest, OpensWithTheTemplateState) {
    EXPECT_EQ(window_.windowTitle(), QStringLiteral("Marl网站资讯监控提醒工具"));
    EXPECT_TRUE(window_.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(window_.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window_.size(), QSize(900, 600));
    EXPECT_EQ(window_.palette().color(QPalette::Window), QColor(236, 236, 236));
    EXPECT_FALSE(window_.move_by_background());

    EXPECT_EQ(Control<QLabel>(&window_, "透明标签1")->text(),
              QStringLiteral("Marl网站资讯监控提醒工具 v1.1"));
    EXPECT_EQ(Control<QLabel>(&window_, "标签1")->text(), QStringLiteral("频率(s)"));
    EXPECT_EQ(Control<QLineEdit>(&window_, "搜索框")->text(), QString());
    EXPECT_EQ(window_.frequency_box()->text(), QStringLiteral("200"));
    EXPECT_EQ(window_.start_button()->text(), QStringLiteral("监控"));
    EXPECT_EQ(window_.start_button()->toolTip(), QStringLiteral("监控被勾选网站的新文章"));
    EXPECT_EQ(Status(), QStringLiteral("监控网站资讯更新，直接添加被监控网站，无需懂代码，老少皆宜！"));
    EXPECT_EQ(Control<QLabel>(&window_, "窗口大小控制")->text(), QStringLiteral("┛"));

    QTabWidget* tabs = window_.tabs();
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("实时监控"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("查询"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("收藏"));
    EXPECT_EQ(tabs->currentIndex(), 0);

    const char* headers[] = {"id", "站名", "标题", "链接", "时间"};
    const int widths[] = {0, 90, 400, 0, 90};
    ASSERT_EQ(List()->columnCount(), 5);
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(List()->headerItem()->text(column), QString::fromUtf8(headers[column]));
        EXPECT_EQ(List()->isColumnHidden(column), widths[column] == 0) << column;
        if (widths[column] > 0) {
            EXPECT_EQ(List()->columnWidth(column), widths[column]) << column;
        }
    }
    EXPECT_EQ(List()->topLevelItemCount(), 0);
}

TEST_F(MainWindowTest, MenusHoldTheirItemsInOrder) {
    struct Case {
        QMenu* menu;
        const char* name;
        std::vector<QString> items;
    };
    const Case cases[] = {
        {window_.article_menu(), "菜单的文章", {QStringLiteral("收藏"), QStringLiteral("清空")}},
        {window_.settings_menu(),
         "菜单的设置",
         {QStringLiteral("版本升级"), QStringLiteral("关于.."), QStringLiteral("新文章命令")}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.menu->objectName(), QString::fromUtf8(c.name));
        std::vector<QString> items;
        for (const QAction* action : c.menu->actions()) items.push_back(action->text());
        EXPECT_EQ(items, c.items);
    }
    EXPECT_FALSE(window_.article_menu()->actions()[0]->isEnabled());  // 收藏: no row selected yet
}

TEST_F(MainWindowTest, NewRowsGoOnTopAndShowTextsAsTheyAre) {
    AddRows(2);
    List()->InsertArticleRow("P", "<b>bold</b><img src=x>", "http://127.0.0.1/x", "t");
    ASSERT_EQ(List()->topLevelItemCount(), 3);
    EXPECT_EQ(List()->CellText(0, ArticleList::kColumnTitle), QStringLiteral("<b>bold</b><img src=x>"));
    EXPECT_EQ(List()->CellText(1, ArticleList::kColumnTitle), QStringLiteral("标题2"));
    EXPECT_EQ(List()->CellText(2, ArticleList::kColumnPlan), QStringLiteral("站1"));
    EXPECT_EQ(List()->CellText(2, ArticleList::kColumnTime), QStringLiteral("03-05 07:01"));
    EXPECT_EQ(List()->CellText(0, ArticleList::kColumnId), QString());
    EXPECT_EQ(List()->topLevelItem(0)->toolTip(ArticleList::kColumnTitle), QString());

    // A click shows the title and the link as plain text.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(0));
    EXPECT_EQ(Status(), QStringLiteral("<b>bold</b><img src=x>\nhttp://127.0.0.1/x"));
}

TEST_F(MainWindowTest, ClickShowsTheSelectedRowAndReplacesTheStatus) {
    AddRows(3);
    window_.status_box()->AppendStatus(QStringLiteral("[ 2024-03-05 07:08:09 ] log\r\n"));

    // Nothing selected: a click on empty space changes nothing.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, BelowRows());
    EXPECT_TRUE(Status().endsWith(QStringLiteral("log\n")));

    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(1));
    EXPECT_EQ(List()->SelectedRow(), 1);
    EXPECT_EQ(Status(), QStringLiteral("标题2\nhttp://127.0.0.1/a/2?x=1&amp;y=2"));
    EXPECT_TRUE(browser_.opened.empty());
}

TEST_F(MainWindowTest, KeyboardMovesTheSelectionButActsOnNothing) {
    AddRows(3);
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(0));
    const QString shown = Status();
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Down);
    EXPECT_EQ(List()->SelectedRow(), 1);
    QTest::keyClick(List(), Qt::Key_Return);
    QTest::keyClick(List(), Qt::Key_Enter);
    QTest::keyClick(List(), Qt::Key_Space);
    EXPECT_EQ(Status(), shown);
    EXPECT_TRUE(browser_.opened.empty());
}

TEST_F(MainWindowTest, DoubleClickOpensOnlyWebLinksWithPlainAmpersands) {
    struct Case {
        const char* link;
        const char* list;    // the list-page address of the row's plan
        const char* opened;  // nullptr: nothing reaches the browser, a status line says so
        const char* status;  // the end of that status line
    };
    const Case cases[] = {
        {"http://127.0.0.1/a?x=1&amp;y=2", "", "http://127.0.0.1/a?x=1&y=2", nullptr},
        {"HTTPS://127.0.0.1/b", "", "https://127.0.0.1/b", nullptr},
        // A link recorded without 补上域名 opens against its plan's list page.
        {"/np/2.html", "http://127.0.0.1:8080/np/index.html", "http://127.0.0.1:8080/np/2.html", nullptr},
        {"2.html?x=1&amp;y=2", "https://127.0.0.1/np/", "https://127.0.0.1/np/2.html?x=1&y=2", nullptr},
        {"file:///etc/passwd", "http://127.0.0.1/", nullptr, "无法打开文章网址：file:///etc/passwd"},
        {"javascript:alert(1)", "http://127.0.0.1/", nullptr, "无法打开文章网址：javascript:alert(1)"},
        {"/relative/only.html", "", nullptr,
         "无法打开文章网址：/relative/only.html（该方案未填写 补上域名）"},
        {"", "", nullptr, "无法打开文章网址："},
    };
    for (const Case& c : cases) {
        List()->clear();
        browser_.opened.clear();
        window_.status_box()->SetWholeText(QStringLiteral("before"));
        List()->InsertArticleRow("P", "T", QString::fromUtf8(c.link), "t", QString::fromUtf8(c.list));
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(0));
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(0));
        // What is stored, and shown by a click, stays as it was.
        EXPECT_EQ(List()->CellText(0, ArticleList::kColumnLink), QString::fromUtf8(c.link));
        if (c.opened == nullptr) {
            EXPECT_TRUE(browser_.opened.empty()) << c.link;
            // One line of its own after the click's title and link, stamped as monitoring lines are.
            const QStringList lines = Status().split(QLatin1Char('\n'));
            ASSERT_GE(lines.size(), 3) << Status().toStdString();
            EXPECT_EQ(lines.mid(0, lines.size() - 2).join(QLatin1Char('\n')) + QLatin1Char('\n'),
                      QStringLiteral("T\n") + QString::fromUtf8(c.link) +
                          (*c.link ? QStringLiteral("\n") : QString()));
            const QString& line = lines[lines.size() - 2];
            EXPECT_TRUE(line.startsWith(QStringLiteral("[ "))) << line.toStdString();
            EXPECT_TRUE(line.endsWith(QString::fromUtf8(c.status))) << line.toStdString();
            EXPECT_EQ(lines.back(), QString());
        } else {
            ASSERT_EQ(browser_.opened.size(), 1u) << c.link;
            EXPECT_EQ(browser_.opened[0].toString(), QString::fromUtf8(c.opened));
            EXPECT_FALSE(Status().contains(QStringLiteral("无法打开")));
        }
    }
    // No selected row: nothing happens.
    List()->clear();
    browser_.opened.clear();
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, BelowRows());
    EXPECT_TRUE(browser_.opened.empty());
}

TEST_F(MainWindowTest, RightClickShowsTheArticleMenuAndClearEmptiesOnlyTheList) {
    AddRows(2);
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(0));
    const QString shown = Status();
    QTest::mousePress(List()->viewport(), Qt::RightButton, {}, BelowRows());
    EXPECT_TRUE(window_.article_menu()->isVisible());
    window_.article_menu()->hide();

    window_.article_menu()->actions()[1]->trigger();  // 清空
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(Status(), shown);
    window_.article_menu()->actions()[1]->trigger();  // on an empty list: nothing
    AddRows(1);
    EXPECT_EQ(List()->CellText(0, ArticleList::kColumnTitle), QStringLiteral("标题1"));
}

TEST_F(MainWindowTest, EachPageShowsWhenChosenWithItsOwnList) {
    test::MessageBoxRecorder boxes;  // none expected: 收藏 without a database says so in the status box
    EXPECT_FALSE(window_.search_list()->isVisible());
    EXPECT_FALSE(window_.favourite_list()->isVisible());
    const int cases[] = {1, 0, 2, 0, 2, 1, 1};
    for (const int chosen : cases) {
        QTest::mouseClick(window_.tabs()->tabBar(), Qt::LeftButton, {},
                          window_.tabs()->tabBar()->tabRect(chosen).center());
        EXPECT_EQ(window_.tabs()->currentIndex(), chosen);
        EXPECT_EQ(List()->isVisible(), chosen == 0) << "chose " << chosen;
        EXPECT_EQ(window_.search_list()->isVisible(), chosen == 1) << "chose " << chosen;
        EXPECT_EQ(window_.search_count()->isVisible(), chosen == 1) << "chose " << chosen;
        EXPECT_EQ(window_.favourite_list()->isVisible(), chosen == 2) << "chose " << chosen;
    }
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(MainWindowTest, MaximiseAndRestoreSwapPicturesAndMoveByBackground) {
    ImageButton* button = window_.maximise_button();
    EXPECT_TRUE(SamePicture(button->normal_picture(), ButtonPicture(ButtonGlyph::kMaximise, false)));
    EXPECT_TRUE(SamePicture(button->hover_picture(), ButtonPicture(ButtonGlyph::kMaximise, true)));

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(window_.windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(window_.move_by_background());
    EXPECT_TRUE(SamePicture(button->normal_picture(), ButtonPicture(ButtonGlyph::kRestore, false)));
    EXPECT_TRUE(SamePicture(button->hover_picture(), ButtonPicture(ButtonGlyph::kRestore, true)));

    // The title bar's double-click toggles the same way, twice back to normal.
    QWidget* top = Control(&window_, "外形框_top");
    QTest::mouseDClick(top, Qt::LeftButton, {}, QPoint(600, 20));
    EXPECT_FALSE(window_.windowState() & Qt::WindowMaximized);
    EXPECT_FALSE(window_.move_by_background());
    EXPECT_TRUE(SamePicture(button->normal_picture(), ButtonPicture(ButtonGlyph::kMaximise, false)));
    QTest::mouseDClick(top, Qt::LeftButton, {}, QPoint(600, 20));
    EXPECT_TRUE(window_.windowState() & Qt::WindowMaximized);
    QTest::mouseDClick(top, Qt::LeftButton, {}, QPoint(600, 20));
    EXPECT_FALSE(window_.windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(SamePicture(button->normal_picture(), ButtonPicture(ButtonGlyph::kMaximise, false)));

    // A minimised window is restored, not maximised.
    window_.showMinimized();
    window_.ToggleMaximise();
    EXPECT_FALSE(window_.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
}

TEST_F(MainWindowTest, TitleBarDragsTheWindow) {
    const QPoint start = window_.pos();
    QWidget* top = Control(&window_, "外形框_top");
    QTest::mousePress(top, Qt::LeftButton, {}, QPoint(600, 20));
    QTest::mouseMove(top, QPoint(630, 45));
    QTest::mouseRelease(top, Qt::LeftButton, {}, QPoint(630, 45));
    EXPECT_EQ(window_.pos(), start + QPoint(30, 25));
    // Moving without the button held does nothing.
    QTest::mouseMove(top, QPoint(500, 20));
    EXPECT_EQ(window_.pos(), start + QPoint(30, 25));
}

TEST_F(MainWindowTest, BackgroundDragsOnlyWhileMoveByBackgroundIsOn) {
    const QPoint background(850, 300);  // right of the tab control, outside every control
    ASSERT_EQ(window_.childAt(background), nullptr);
    const QPoint start = window_.pos();
    QTest::mousePress(&window_, Qt::LeftButton, {}, background);
    QTest::mouseMove(&window_, background + QPoint(20, 10));
    QTest::mouseRelease(&window_, Qt::LeftButton, {}, background + QPoint(20, 10));
    EXPECT_EQ(window_.pos(), start);

    window_.ToggleMaximise();
    ASSERT_TRUE(window_.move_by_background());
    QWidget* frame = Control(&window_, "外形框_开始");
    const QPoint moved_from = window_.pos();
    // A frame is a control: pressing on it drags nothing.
    QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseMove(frame, QPoint(30, 30));
    QTest::mouseRelease(frame, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(window_.pos(), moved_from);

    const QPoint free_spot(window_.width() - 40, 300);
    ASSERT_EQ(window_.childAt(free_spot), nullptr);
    QTest::mousePress(&window_, Qt::LeftButton, {}, free_spot);
    QTest::mouseMove(&window_, free_spot + QPoint(-15, 12));
    QTest::mouseRelease(&window_, Qt::LeftButton, {}, free_spot + QPoint(-15, 12));
    EXPECT_EQ(window_.pos(), moved_from + QPoint(-15, 12));
}

TEST_F(MainWindowTest, GripSizesFromTheCornerAndSwitchesMoveByBackgroundOff) {
    window_.ToggleMaximise();
    window_.ToggleMaximise();
    window_.setMinimumSize(900, 600);
    window_.setMaximumSize(1000, 700);
    window_.ToggleMaximise();  // maximised again: move-by-background on
    window_.showNormal();
    ASSERT_TRUE(window_.move_by_background());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_.size() == QSize(900, 600); }));

    QWidget* grip = Control(&window_, "窗口大小控制");
    QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(window_.move_by_background());
    QTest::mouseMove(grip, QPoint(45, 25));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_.size() == QSize(940, 620); }));
    // The limits bound the result.
    QTest::mouseMove(grip, QPoint(-400, 500));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_.size() == QSize(900, 700); }));
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(-400, 500));
    EXPECT_EQ(Control(&window_, "窗口大小控制")->pos(), QPoint(890, 690));
}

TEST_F(MainWindowTest, ReleasePageGoesToTheClipboardThenTheBoxThenTheBrowser) {
    test::MessageBoxRecorder boxes;
    size_t opened_before_box = 99;
    ui::SetMessageBoxHook([&](const MessageRequest& request) {
        opened_before_box = browser_.opened.size();
        EXPECT_EQ(request.caption, QStringLiteral("软件发布页"));
        EXPECT_EQ(request.text, QStringLiteral("已复制软件发布页网址，并将打开该网址 >>"));
        EXPECT_EQ(request.buttons, MessageButtons::kOk);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), ReleasePageAddress());
        return MessageAnswer::kOk;
    });
    window_.settings_menu()->actions()[0]->trigger();
    EXPECT_EQ(opened_before_box, 0u);
    ASSERT_EQ(browser_.opened.size(), 1u);
    EXPECT_EQ(browser_.opened[0].toString(), ReleasePageAddress());
    EXPECT_TRUE(ReleasePageAddress().startsWith(QStringLiteral("https://")));
}

TEST_F(MainWindowTest, AboutReplacesTheStatusAndShowsTheDescription) {
    test::MessageBoxRecorder boxes;
    window_.settings_menu()->actions()[1]->trigger();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("关于软件"));
    EXPECT_EQ(boxes.shown()[0].text, ProductDescription());
    EXPECT_EQ(Status(), ProductDescription());
}

TEST_F(MainWindowTest, EveryCloseRequestAsksTheHandler) {
    int asked = 0;
    bool allow = false;
    window_.SetCloseRequestHandler([&] {
        ++asked;
        return allow;
    });
    EXPECT_FALSE(window_.close());
    QTest::mouseClick(Control(&window_, "关闭"), Qt::LeftButton);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(window_.isVisible());
    // Esc is no close request.
    QTest::keyClick(&window_, Qt::Key_Escape);
    EXPECT_EQ(asked, 2);
    allow = true;
    EXPECT_TRUE(window_.close());
    EXPECT_EQ(asked, 3);
    EXPECT_FALSE(window_.isVisible());
}

TEST_F(MainWindowTest, CentredOnTheScreenByIntegerDivision) {
    window_.CentreOnScreen();
    const QRect screen = window_.screen()->geometry();
    EXPECT_EQ(window_.pos(),
              QPoint(screen.x() + (screen.width() - 900) / 2, screen.y() + (screen.height() - 600) / 2));
}

}  // namespace
}  // namespace marl::ui
