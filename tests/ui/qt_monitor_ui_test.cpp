// The monitor's port to the windows: calls from a worker thread are carried onto the UI thread,
// finished before they return, and kept in order.
#include "ui/qt_monitor_ui.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "store/plan_record.h"
#include "support/gui/browser_stand_in.h"
#include "support/gui/message_box_recorder.h"
#include "text/text.h"
#include "ui/article_list.h"
#include "ui/main_window.h"
#include "ui/notification_popup.h"
#include "ui/qt_text.h"
#include "ui/status_box.h"

namespace marl::ui {
namespace {

constexpr int kWaitMs = 20000;  // generous: only a broken hand-off gets near it

class QtMonitorUiTest : public ::testing::Test {
  protected:
    // Runs `work` on a thread of its own while this (the UI) thread serves events until it is done.
    bool RunWorker(const std::function<void()>& work) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            work();
            done = true;
        });
        const bool finished = QTest::qWaitFor([&] { return done.load(); }, kWaitMs);
        worker.join();
        return finished;
    }

    MainWindow window_;
    QtMonitorUi ui_{window_};
};

TEST_F(QtMonitorUiTest, WorkerCallsArriveInOrderAndAreDoneBeforeTheyReturn) {
    constexpr int kArticles = 60;
    std::atomic<int> rows_inserted{0};
    QObject::connect(window_.article_list()->model(), &QAbstractItemModel::rowsInserted, &window_,
                     [&] { ++rows_inserted; });
    window_.frequency_box()->setText(QStringLiteral("77"));
    window_.status_box()->SetWholeText(QString());

    std::vector<int> rows_seen_after_call;
    std::vector<Text> captions_read, frequencies_read;
    ASSERT_TRUE(RunWorker([&] {
        for (int i = 1; i <= kArticles; ++i) {
            const std::string n = std::to_string(i);
            ui_.AppendStatus("[ t ] line " + n + "\r\n");
            ui_.InsertArticleRow(1, "P", "T" + n, "http://127.0.0.1/" + n, "03-05 07:08");
            rows_seen_after_call.push_back(rows_inserted.load());
            ui_.SetStartCaption("c" + n);
            captions_read.push_back(ui_.StartCaption());
            frequencies_read.push_back(ui_.FrequencyText());
        }
    }));

    ArticleList* list = window_.article_list();
    ASSERT_EQ(list->topLevelItemCount(), kArticles);
    QString expected_status;
    for (int i = 1; i <= kArticles; ++i) {
        const std::string n = std::to_string(i);
        // Newest on top.
        EXPECT_EQ(list->CellText(kArticles - i, ArticleList::kColumnTitle), ToQString("T" + n));
        EXPECT_EQ(rows_seen_after_call[i - 1], i);
        EXPECT_EQ(captions_read[i - 1], "c" + n);
        EXPECT_EQ(frequencies_read[i - 1], "77");
        expected_status += QStringLiteral("[ t ] line %1\n").arg(i);
    }
    EXPECT_EQ(window_.status_box()->WholeText(), expected_status);
}

TEST_F(QtMonitorUiTest, CallsFromTheUiThreadRunAtOnce) {
    window_.status_box()->SetWholeText(QString());
    ui_.AppendStatus(Gbk("[ t ] 准备工作..\r\n"));
    ui_.InsertArticleRow(2, Gbk("新闻"), Gbk("标题"), "http://127.0.0.1/a", "03-05 07:08");
    ui_.SetStartCaption(Gbk("停止"));
    ui_.SetStartEnabled(false);
    EXPECT_EQ(window_.status_box()->WholeText(), QStringLiteral("[ t ] 准备工作..\n"));
    EXPECT_EQ(window_.article_list()->CellText(0, ArticleList::kColumnPlan), QStringLiteral("新闻"));
    EXPECT_EQ(window_.start_button()->text(), QStringLiteral("停止"));
    EXPECT_FALSE(window_.start_button()->isEnabled());
    EXPECT_EQ(ui_.StartCaption(), Gbk("停止"));
    ui_.ShowArticle("t", "http://127.0.0.1/a");  // no popup yet: nothing to show it in
}

TEST_F(QtMonitorUiTest, ClipboardAndMessagesFromTheWorker) {
    test::MessageBoxRecorder boxes;
    ASSERT_TRUE(RunWorker([&] {
        ui_.SetClipboard(Gbk("(?=.*新闻)"));
        ui_.ShowMessage(Gbk("请至少勾选一个被监控的网站"));
        ui_.SetStartEnabled(false);
    }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("(?=.*新闻)"));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("请至少勾选一个被监控的网站"));
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("信息："));
    EXPECT_EQ(boxes.shown()[0].buttons, MessageButtons::kOk);
    EXPECT_FALSE(window_.start_button()->isEnabled());
}

TEST_F(QtMonitorUiTest, ShowArticleFeedsThePopupInRecordingOrder) {
    NotificationPopup popup;
    ui_.SetPopup(&popup);
    ASSERT_TRUE(RunWorker([&] {
        ui_.ShowArticle(Gbk("第一篇"), "http://127.0.0.1/1");
        ui_.ShowArticle("<b>second</b>", "http://127.0.0.1/2");
    }));
    EXPECT_TRUE(popup.isVisible());
    auto* list = popup.findChild<QTreeWidget*>(QStringLiteral("超级列表框_新文章"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("第一篇"));
    EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("<b>second</b>"));
    popup.HidePopup();
}

TEST_F(QtMonitorUiTest, AfterDetachNoCallWaitsForTheUiThread) {
    ui_.Detach();
    // This thread serves no events while the worker calls: a hand-off would never return.
    std::thread worker([&] {
        ui_.AppendStatus("x\r\n");
        ui_.InsertArticleRow(1, "P", "T", "http://127.0.0.1/", "t");
        ui_.SetStartCaption("c");
        (void)ui_.FrequencyText();
    });
    worker.join();
    EXPECT_EQ(window_.article_list()->topLevelItemCount(), 0);
    EXPECT_EQ(window_.start_button()->text(), QStringLiteral("监控"));
}

TEST_F(QtMonitorUiTest, RowsAndPopupOpenLinksAgainstTheirPlansListPage) {
    test::BrowserStandIn browser;
    SharedPlanList plans;
    PlanRecord plan;
    plan.name = "P";
    plan.url = "http://127.0.0.1:8080/np/index.html";
    plans.Set(std::make_shared<const PlanList>(std::vector<PlanRecord>{plan}));
    ui_.SetPlans(&plans);
    NotificationPopup popup;
    ui_.SetPopup(&popup);

    ASSERT_TRUE(RunWorker([&] {
        ui_.InsertArticleRow(1, "P", "T", "/np/2.html", "03-05 07:08");
        ui_.ShowArticle("T", "/np/2.html");
        // A row whose plan is not (or no longer) at its position gets no list address.
        ui_.InsertArticleRow(1, "Q", "U", "/np/3.html", "03-05 07:09");
    }));
    EXPECT_EQ(window_.article_list()->ListAddress(1), ToQString(plan.url));
    EXPECT_EQ(window_.article_list()->ListAddress(0), QString());

    // The popup's double-click opens through the window: resolved, or a status line when it cannot.
    QTreeWidget* list = popup.findChild<QTreeWidget*>(QStringLiteral("超级列表框_新文章"));
    ASSERT_NE(list, nullptr);
    const auto double_click = [list](int row) {
        const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    };
    double_click(0);
    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_EQ(browser.opened[0].toString(), QStringLiteral("http://127.0.0.1:8080/np/2.html"));
    popup.ShowArticle("U", "/np/3.html");
    double_click(1);
    EXPECT_EQ(browser.opened.size(), 1u);
    EXPECT_TRUE(window_.status_box()->WholeText().contains(QStringLiteral("无法打开文章网址：/np/3.html")));
    ui_.SetPopup(nullptr);
}

}  // namespace
}  // namespace marl::ui
