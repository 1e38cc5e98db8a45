// The desktop program put together: start-up, the exit question and its settings, monitoring from the
// start button.
#include "app/desktop/desktop_app.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/gui/find_control.h"
#include "support/gui/message_box_recorder.h"
#include "support/page_server.h"
#include "support/plan_rows.h"
#include "support/temp_dir.h"
#include "text/gbk_codec.h"
#include "ui/article_list.h"
#include "ui/main_window.h"
#include "ui/notification_popup.h"
#include "ui/plans/plan_tree_widget.h"
#include "ui/status_box.h"

namespace marl {
namespace {

using ui::MessageAnswer;
using ui::MessageButtons;
using ui::MessageIcon;

constexpr int kWaitMs = 20000;

class DesktopAppTest : public ::testing::Test {
  protected:
    std::string Db() const { return dir_.File("marltips.db"); }
    std::string Ini() const { return dir_.File("marltips.ini"); }

    // A database with plans of these ids, all pointing at `url`.
    void CreateDatabase(const std::vector<int32_t>& ids, const std::string& url = "http://127.0.0.1:9/") {
        test::CreateDatabaseFile(Db());
        Database db;
        ASSERT_TRUE(db.Open(Db()));
        for (const int32_t id : ids)
            ASSERT_TRUE(test::InsertPlanRow(db, id, "方案" + std::to_string(id), url));
    }
    void WriteIni(const std::string& utf8) { test::WriteFileBytes(Ini(), Gbk(utf8)); }
    std::string IniAsUtf8() const { return *GbkToUtf8Strict(test::ReadFileBytes(Ini())); }

    DesktopApp& StartApp() {
        app_.emplace(dir_.path().string(), DesktopOptions{[this](int code) { exit_codes_.push_back(code); }});
        app_->Start();
        return *app_;
    }
    ui::PlanTreeWidget* Tree() { return app_->window().plan_tree(); }
    std::vector<QString> TreeTexts() {
        std::vector<QString> texts;
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
            texts.push_back(Tree()->topLevelItem(i)->text(0));
        return texts;
    }

    test::TempDir dir_;
    std::vector<int> exit_codes_;
    std::optional<DesktopApp> app_;
};

TEST_F(DesktopAppTest, MissingDatabaseIsReportedAndNothingIsCreated) {
    test::MessageBoxRecorder boxes;
    StartApp();
    ASSERT_EQ(boxes.shown().size(), 1u);
    const ui::MessageRequest& box = boxes.shown()[0];
    EXPECT_EQ(box.caption, QStringLiteral("启动失败"));
    EXPECT_EQ(box.icon, MessageIcon::kError);
    EXPECT_EQ(box.buttons, MessageButtons::kOk);
    const QString fixed = QStringLiteral(
        "数据库文件 marltips.db 缺失，无法工作！ \r\nError：Database file ‘marltips.db’ missing\r\n\r\n\r\n");
    ASSERT_TRUE(box.text.startsWith(fixed)) << box.text.toStdString();
    const QString hint = box.text.mid(fixed.size());
    EXPECT_TRUE(hint.contains(QStringLiteral("marltips-cli init")));
    EXPECT_FALSE(hint.contains(QLatin1Char('\n')));  // one line

    EXPECT_FALSE(std::filesystem::exists(Db()));
    EXPECT_TRUE(app_->window().isVisible());
    EXPECT_EQ(TreeTexts(), (std::vector<QString>{QStringLiteral("右击添加一个监控网站")}));
    EXPECT_EQ(app_->window().frequency_box()->text(), QStringLiteral("200"));
    ASSERT_NE(app_->popup(), nullptr);
    EXPECT_FALSE(app_->popup()->isVisible());
}

TEST_F(DesktopAppTest, UnreadableDatabaseIsReportedAndLeftAsItWas) {
    test::WriteFileBytes(Db(), "this is no database at all, only text");
    WriteIni("[配置]\r\n频率=45\r\n");
    test::MessageBoxRecorder boxes;
    StartApp();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("数据库打开失败！"));
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("信息："));
    EXPECT_EQ(boxes.shown()[0].icon, MessageIcon::kNone);
    EXPECT_EQ(test::ReadFileBytes(Db()), "this is no database at all, only text");
    // Start-up went on: the settings were read all the same.
    EXPECT_EQ(app_->window().frequency_box()->text(), QStringLiteral("45"));
    EXPECT_EQ(TreeTexts().size(), 1u);
    EXPECT_NE(app_->popup(), nullptr);
}

TEST_F(DesktopAppTest, StartUpLoadsPlansChecksAndFrequency) {
    CreateDatabase({3, 7, 37});
    WriteIni("[配置]\r\n频率=120\r\n自动勾选=0,3,7,\r\n");
    StartApp();
    EXPECT_EQ(TreeTexts(),
              (std::vector<QString>{QStringLiteral("右击 添加/修改 网站"), QStringLiteral("方案3"),
                                    QStringLiteral("方案7"), QStringLiteral("方案37")}));
    EXPECT_EQ(Tree()->CheckedIds(), (std::vector<int32_t>{3, 7}));
    EXPECT_EQ(app_->window().frequency_box()->text(), QStringLiteral("120"));
    EXPECT_EQ(app_->plans().Get()->size(), 3);
    EXPECT_TRUE(app_->database().IsOpen());
    EXPECT_EQ(app_->window().size(), QSize(900, 600));
}

TEST_F(DesktopAppTest, ExitWritesTheFrequencyAsTypedAndTheCheckedIds) {
    struct Case {
        const char* box;
        std::vector<int> check_items;  // tree indexes to check
        const char* before;            // the file before, UTF-8
        const char* after;
    };
    const Case cases[] = {
        {"300", {1, 3}, nullptr, "[配置]\r\n频率=300\r\n自动勾选=0,3,37,\r\n"},
        {"", {2}, "[配置]\r\n频率=120\r\n自动勾选=0,3,\r\n", "[配置]\r\n频率=120\r\n自动勾选=0,7,\r\n"},
        {"NULL", {}, "[配置]\r\n频率=120\r\n自动勾选=0,3,\r\n", "[配置]\r\n频率=\r\n自动勾选=0,\r\n"},
        {"", {}, nullptr, "[配置]\r\n自动勾选=0,\r\n"},
    };
    CreateDatabase({3, 7, 37});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after);
        std::filesystem::remove(Ini());
        if (c.before) WriteIni(c.before);
        exit_codes_.clear();
        StartApp();
        for (int i = 1; i < Tree()->topLevelItemCount(); ++i)
            Tree()->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
        for (const int item : c.check_items) Tree()->topLevelItem(item)->setCheckState(0, Qt::Checked);
        app_->window().frequency_box()->setText(QString::fromUtf8(c.box));

        test::MessageBoxRecorder boxes({MessageAnswer::kOk});
        EXPECT_TRUE(app_->ConfirmExit());
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("退出软件 ？"));
        EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("是否退出"));
        EXPECT_EQ(boxes.shown()[0].buttons, MessageButtons::kOkCancel);
        EXPECT_EQ(exit_codes_, (std::vector<int>{0}));
        EXPECT_EQ(IniAsUtf8(), c.after);
        app_.reset();
    }
}

TEST_F(DesktopAppTest, CancelLeavesWindowAndSettingsAlone) {
    CreateDatabase({3});
    WriteIni("[配置]\r\n频率=120\r\n自动勾选=0,3,\r\n");
    const std::string before = test::ReadFileBytes(Ini());
    StartApp();
    Tree()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    app_->window().frequency_box()->setText(QStringLiteral("9"));

    test::MessageBoxRecorder boxes({MessageAnswer::kCancel, MessageAnswer::kCancel, MessageAnswer::kCancel});
    EXPECT_FALSE(app_->ConfirmExit());
    // The 关闭 button and the system's close ask the same question.
    QTest::mouseClick(test::Control(&app_->window(), "关闭"), Qt::LeftButton);
    EXPECT_FALSE(app_->window().close());
    EXPECT_EQ(boxes.shown().size(), 3u);
    EXPECT_TRUE(exit_codes_.empty());
    EXPECT_TRUE(app_->window().isVisible());
    EXPECT_EQ(test::ReadFileBytes(Ini()), before);
    EXPECT_EQ(app_->window().frequency_box()->text(), QStringLiteral("9"));
}

TEST_F(DesktopAppTest, StartWithNothingCheckedSaysSoAndStaysIdle) {
    CreateDatabase({3});
    StartApp();
    test::MessageBoxRecorder boxes;
    QPushButton* start = app_->window().start_button();
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("请至少勾选一个被监控的网站"));
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("信息："));
    EXPECT_EQ(start->text(), QStringLiteral("监控"));
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(app_->engine().WorkerRunning());
}

std::string Anchor(const std::string& link, const std::string& title) {
    return "<li><a href=\"" + link + "\">" + title + "</a></li>";
}

TEST_F(DesktopAppTest, MonitoringPutsNewArticlesOnTopAndStopsOnRequest) {
    test::PageServer server;
    server.SetPage("/list", "<ul>" + Anchor(server.Url("/n/1.html"), "第一篇") +
                                Anchor(server.Url("/n/2.html"), "<b>Second</b>") + "</ul>");
    CreateDatabase({5}, server.Url("/list"));
    WriteIni("[配置]\r\n自动勾选=0,5,\r\n");
    StartApp();
    QPushButton* start = app_->window().start_button();
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(start->text(), QStringLiteral("停止"));

    ui::ArticleList* list = app_->window().article_list();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() == 2; }, kWaitMs));
    // Page order, top first; the plan's name and the full address beside each title.
    EXPECT_EQ(list->CellText(0, ui::ArticleList::kColumnTitle), QStringLiteral("第一篇"));
    EXPECT_EQ(list->CellText(1, ui::ArticleList::kColumnTitle), QStringLiteral("Second"));
    EXPECT_EQ(list->CellText(0, ui::ArticleList::kColumnPlan), QStringLiteral("方案5"));
    EXPECT_EQ(list->CellText(1, ui::ArticleList::kColumnLink),
              QString::fromStdString(server.Url("/n/2.html")));
    EXPECT_TRUE(app_->window().status_box()->WholeText().contains(QStringLiteral("[ 方案5 ] 准备工作..")));
    // The popup lists them in recording order: the page is read from the bottom up.
    auto* shown = app_->popup()->findChild<QTreeWidget*>(QStringLiteral("超级列表框_新文章"));
    ASSERT_NE(shown, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown->topLevelItemCount() == 2; }, kWaitMs));
    EXPECT_TRUE(app_->popup()->isVisible());
    EXPECT_EQ(shown->topLevelItem(0)->text(0), QStringLiteral("Second"));
    // Each article is stored right after it has been shown.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return app_->database().CountArticlesWhere("classid='1'") == 2; }, kWaitMs));

    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(start->text(), QStringLiteral("正在停止"));
    EXPECT_FALSE(start->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return start->isEnabled(); }, kWaitMs));
    EXPECT_EQ(start->text(), QStringLiteral("监控"));
    EXPECT_FALSE(app_->engine().WorkerRunning());
    EXPECT_EQ(server.Hits("/list"), 1);
}

TEST_F(DesktopAppTest, WorkerCallsAreServedWhileTheExitQuestionIsUp) {
    test::PageServer server;
    server.SetPage("/list", "<ul>" + Anchor(server.Url("/a"), "A") + Anchor(server.Url("/b"), "B") + "</ul>");
    CreateDatabase({5}, server.Url("/list"));
    WriteIni("[配置]\r\n自动勾选=0,5,\r\n");
    StartApp();
    ui::ArticleList* list = app_->window().article_list();
    bool rows_arrived_in_box = false;
    ui::SetMessageBoxHook([&](const ui::MessageRequest&) {
        // The modal box's own event loop, standing in: it serves the worker's hand-offs.
        rows_arrived_in_box = QTest::qWaitFor([&] { return list->topLevelItemCount() == 2; }, kWaitMs);
        return MessageAnswer::kOk;
    });
    QTest::mouseClick(app_->window().start_button(), Qt::LeftButton);
    app_->ConfirmExit();
    test::FailOnMessageBox();
    EXPECT_TRUE(rows_arrived_in_box);
    EXPECT_EQ(exit_codes_, (std::vector<int>{0}));
    // Keys already in the file keep their place.
    EXPECT_EQ(IniAsUtf8(), "[配置]\r\n自动勾选=0,5,\r\n频率=200\r\n");
}

}  // namespace
}  // namespace marl
