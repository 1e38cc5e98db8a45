// The plan editor's test buttons over a loopback site: the window shows what the tester reports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>

#include "plans/plan_tester.h"
#include "store/database.h"
#include "store/plan_store.h"
#include "support/gui/message_box_recorder.h"
#include "support/page_server.h"
#include "ui/plans/plan_editor_widget.h"
#include "ui/qt_text.h"

namespace marl::ui {
namespace {

// Notes what the window looked like whenever a watched control was painted.
class PaintWatcher : public QObject {
  public:
    std::function<void()> on_paint;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && on_paint) on_paint();
        return false;
    }
};

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// A list page with a text anchor and an image anchor for one article, and a second article.
const char kPage[] =
    "<html><head><meta charset=\"utf-8\"><title>t</title></head><body>"
    "<div class=\"nav\"><a href=\"/about.html\">关于</a></div>"
    "<ul class=\"news\">"
    "<li><a href=\"/news/1.html\"><img src=\"/1.png\"></a><a href=\"/news/1.html\">恭喜，<b>成功</b></a></li>"
    "<li><a href=\"/news/2.html\">第二篇</a></li>"
    "</ul></body></html>";

class PlanEditorTesterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.SetPage("/list/index.html", kPage);
        editor_ = std::make_unique<PlanEditorWidget>(store_, plans_, [] {});
        HttpLimits limits;
        limits.connect = std::chrono::milliseconds(5000);
        limits.total = std::chrono::milliseconds(20000);
        editor_->SetTestLimits(limits);
        editor_->OpenPlanEditor(0);
        Field<QLineEdit>("框_url")->setText(Q(server_.Url("/list/index.html")));
    }

    template <typename T>
    T* Field(const char* name) {
        T* field = editor_->findChild<T*>(Q(name));
        EXPECT_NE(field, nullptr) << name;
        return field;
    }
    QString Source() { return Field<QPlainTextEdit>("源码编辑框")->toPlainText(); }

    // Clicks a test button and returns the boxes it showed.
    std::vector<MessageRequest> Click(const char* button) {
        test::MessageBoxRecorder boxes;
        QTest::mouseClick(Field<QToolButton>(button), Qt::LeftButton);
        return boxes.shown();
    }

    // What the window should show for a run of the tester on its fields as they are now.
    PlanTestResult Expected(PlanTestMode mode) {
        return RunPlanTest(mode, PlanTestInputOf(editor_->ReadForm()));
    }

    void ExpectWindowShows(const PlanTestResult& expected) {
        EXPECT_EQ(Source(), ToQString(expected.SourceBoxText()).replace(Q("\r\n"), Q("\n")));
        const auto rows = expected.Rows();
        const QTreeWidget* list = Field<QTreeWidget>("超级列表框_测试");
        ASSERT_EQ(list->topLevelItemCount(), static_cast<int>(rows.size()));
        for (size_t i = 0; i < rows.size(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(static_cast<int>(i));
            EXPECT_EQ(item->text(0), QString::number(rows[i].id));
            EXPECT_EQ(item->text(1), ToQString(rows[i].link));
            EXPECT_EQ(item->text(2), ToQString(rows[i].title));
            EXPECT_EQ(item->text(3), ToQString(rows[i].row));
        }
    }

    test::PageServer server_;
    Database db_;  // never opened: the tester does not touch the database
    SharedPlanList plans_;
    PlanStore store_{db_, plans_};
    std::unique_ptr<PlanEditorWidget> editor_;
};

TEST_F(PlanEditorTesterTest, FilterTestFillsSourceListEncodingAndPrefix) {
    Field<QPlainTextEdit>("框_区域规则")->setPlainText(Q("<ul class=#引号news#引号>[*]</ul>"));
    Field<QLineEdit>("框_行结构")->setText(Q("<img"));
    Field<QComboBox>("框_行结构值")->setCurrentIndex(1);  // 不能包含
    const PlanTestResult expected = Expected(PlanTestMode::kFiltered);

    const auto boxes = Click("超级按钮2");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, ToQString(expected.ReportText()));
    EXPECT_EQ(boxes[0].caption, Q("信息："));
    EXPECT_TRUE(boxes[0].text.contains(Q("网址筛选结果：2\r\n"))) << boxes[0].text.toStdString();
    ExpectWindowShows(expected);
    EXPECT_TRUE(Source().contains(Q(">>>>>>>>>>>> 区间信息截取\n")));

    const QTreeWidget* list = Field<QTreeWidget>("超级列表框_测试");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(1), Q("/news/1.html"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), Q("恭喜，<b>成功</b>"));  // shown as text, not rendered
    EXPECT_EQ(Field<QComboBox>("框_编码")->currentIndex(), 2);
    // The first link starts with "/": the prefix ends with the host.
    EXPECT_EQ(Field<QLineEdit>("框_dom")->text(), Q(server_.Url("")));
    // The run is over: the buttons work again and the wait cursor is gone.
    EXPECT_TRUE(Field<QToolButton>("超级按钮2")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PlanEditorTesterTest, PageTestShowsOnlyThePageSection) {
    Field<QPlainTextEdit>("源码编辑框")->setPlainText(Q("old"));
    const auto boxes = Click("超级按钮1");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Q("网页源码：访问正常\r\n"));
    EXPECT_TRUE(Source().startsWith(Q("\n>>>>>>>>>>>> 网页源码\n-------------------------------\n\n")));
    EXPECT_EQ(Source().count(Q(">>>>>>>>>>>> ")), 1);
    EXPECT_EQ(Field<QTreeWidget>("超级列表框_测试")->topLevelItemCount(), 0);
}

TEST_F(PlanEditorTesterTest, StoredPlanGetsNoPrefixAndAreaTestListsEveryLink) {
    Field<QLineEdit>("框_当前方案")->setText(Q("3"));
    Field<QLineEdit>("框_dom")->setText(Q("http://kept/"));
    Field<QLineEdit>("框_必含")->setText(Q("nothing-matches-this"));  // ignored in mode 2
    const PlanTestResult expected = Expected(PlanTestMode::kArea);
    const auto boxes = Click("超级按钮3");
    ASSERT_EQ(boxes.size(), 1u);
    ExpectWindowShows(expected);
    EXPECT_EQ(Field<QTreeWidget>("超级列表框_测试")->topLevelItemCount(), 4);
    EXPECT_EQ(Field<QLineEdit>("框_dom")->text(), Q("http://kept/"));
}

TEST_F(PlanEditorTesterTest, BarInFilterWordsIsRefusedBeforeAnythingChanges) {
    Field<QPlainTextEdit>("源码编辑框")->setPlainText(Q("kept"));
    Field<QLineEdit>("框_包含")->setText(Q("a|b"));
    const auto boxes = Click("超级按钮2");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Q("网址筛选词，不能用竖线 | ，请修正"));
    EXPECT_EQ(Source(), Q("kept"));
    EXPECT_EQ(server_.Hits("/list/index.html"), 0);
}

TEST_F(PlanEditorTesterTest, ClickOnATestRowShowsItInTheStatusBox) {
    Click("超级按钮3");
    QTreeWidget* list = Field<QTreeWidget>("超级列表框_测试");
    ASSERT_GE(list->topLevelItemCount(), 3);
    Field<QPlainTextEdit>("状态输出")->setPlainText(Q("before"));
    const QRect row = list->visualItemRect(list->topLevelItem(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    const QTreeWidgetItem* item = list->topLevelItem(2);
    EXPECT_EQ(Field<QPlainTextEdit>("状态输出")->toPlainText(), Q("\n【标题】\n") + item->text(2) +
                                                                    Q("\n\n【网址】\n") + item->text(1) +
                                                                    Q("\n\n【行结构】\n") + item->text(3));
}

// The fetch holds the window: its testing state is painted first, while nothing has been fetched.
TEST_F(PlanEditorTesterTest, TestingStateIsPaintedBeforeTheFetch) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor_.get()));
    Field<QPlainTextEdit>("源码编辑框")->setPlainText(Q("old"));
    QToolButton* button = Field<QToolButton>("超级按钮3");
    QPlainTextEdit* source = Field<QPlainTextEdit>("源码编辑框");
    bool painted_before_fetch = false;
    PaintWatcher watcher;
    watcher.on_paint = [&] {
        if (server_.Hits("/list/index.html") == 0 && !button->isEnabled() &&
            source->toPlainText().isEmpty() && QApplication::overrideCursor() != nullptr) {
            painted_before_fetch = true;
        }
    };
    button->installEventFilter(&watcher);
    Click("超级按钮3");
    button->removeEventFilter(&watcher);
    EXPECT_TRUE(painted_before_fetch);
    EXPECT_EQ(server_.Hits("/list/index.html"), 1);
}

}  // namespace
}  // namespace marl::ui
