// The plan editor's 推荐方案 over a loopback site: the page is read off the UI thread and the best
// proposal fills the fields, the others can replace it, and nothing is saved.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>

#include "plans/plan_suggester.h"
#include "store/database.h"
#include "store/plan_store.h"
#include "support/page_server.h"
#include "ui/plans/plan_editor_widget.h"
#include "ui/qt_text.h"

namespace marl::ui {
namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// A main list of notices and, beside it, a shorter list of reports: two proposals at least.
std::string TwoListPage() {
    std::string page =
        "<html><head><meta charset=\"utf-8\"><title>通知公告</title></head><body>"
        "<div class=\"nav\"><a href=\"/\">首页</a> <a href=\"/about\">关于</a></div><ul class=\"notices\">";
    for (int i = 0; i < 10; ++i)
        page += "<li><span>2024-06-0" + std::to_string(i % 9 + 1) + "</span><a href=\"/notice/" +
                std::to_string(700 + i) + ".html\">关于做好第" + std::to_string(i) +
                "批供水管网改造工作的通知</a></li>";
    page += "</ul><div class=\"side\"><ol class=\"reports\">";
    for (int i = 0; i < 5; ++i)
        page += "<li><a href=\"/report/" + std::to_string(30 + i) + ".html\">年度工作报告全文第" +
                std::to_string(i) + "部分</a></li>";
    return page + "</ol></div></body></html>";
}

class PlanEditorSuggestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.SetPage("/notices/index.html", TwoListPage());
        editor_ = std::make_unique<PlanEditorWidget>(store_, plans_, [] {});
        HttpLimits limits;
        limits.connect = std::chrono::milliseconds(5000);
        limits.total = std::chrono::milliseconds(20000);
        editor_->SetTestLimits(limits);
        editor_->OpenPlanEditor(0);
        Field<QLineEdit>("框_url")->setText(Q(server_.Url("/notices/index.html")));
        editor_->on_suggestion_done = [this] { done_ = true; };
    }

    template <typename T>
    T* Field(const char* name) {
        T* field = editor_->findChild<T*>(Q(name));
        EXPECT_NE(field, nullptr) << name;
        return field;
    }

    SuggestResult Expected() {
        SuggestInput input;
        input.url = FromQString(Field<QLineEdit>("框_url")->text());
        return marl::SuggestPlans(input);
    }

    test::PageServer server_;
    Database db_;  // never opened: a suggestion saves nothing
    SharedPlanList plans_;
    PlanStore store_{db_, plans_};
    std::unique_ptr<PlanEditorWidget> editor_;
    bool done_ = false;
};

TEST_F(PlanEditorSuggestTest, TheBestProposalFillsTheFieldsAndTheOthersCanReplaceIt) {
    const SuggestResult expected = Expected();
    ASSERT_GE(expected.candidates.size(), 2u) << expected.message;
    editor_->SuggestPlans();
    ASSERT_TRUE(QTest::qWaitFor([this] { return done_; }, 30000));
    EXPECT_FALSE(editor_->Suggesting());
    ASSERT_EQ(editor_->SuggestionCount(), expected.candidates.size());

    const PlanForm& best = expected.candidates[0].form;
    EXPECT_EQ(Field<QLineEdit>("框_名")->text(), Q("通知公告"));
    EXPECT_EQ(Field<QComboBox>("框_编码")->currentIndex(), static_cast<int>(PlanEncoding::kUtf8));
    EXPECT_EQ(Field<QPlainTextEdit>("框_区域规则")->toPlainText(), ToQString(best.area));
    EXPECT_EQ(Field<QLineEdit>("框_dom")->text(), ToQString(best.link_prefix));
    EXPECT_EQ(Field<QLineEdit>("框_包含")->text(), ToQString(best.may_contain));
    // The address stays as typed, and the status box says what was filled and what the plan keeps.
    EXPECT_EQ(Field<QLineEdit>("框_url")->text(), Q(server_.Url("/notices/index.html")));
    const QString status = Field<QPlainTextEdit>("状态输出")->toPlainText();
    EXPECT_TRUE(status.contains(Q("推荐方案 1/"))) << status.toStdString();
    EXPECT_TRUE(status.contains(Q("保留 10 个链接"))) << status.toStdString();
    EXPECT_TRUE(status.contains(Q("关于做好第0批供水管网改造工作的通知"))) << status.toStdString();
    // The tester, run on the filled fields, keeps what the preview promised.
    const PlanTestResult tried = RunPlanTest(PlanTestMode::kFiltered, PlanTestInputOf(editor_->ReadForm()));
    EXPECT_EQ(tried.Rows().size(), expected.candidates[0].kept);

    editor_->ApplySuggestion(1);
    EXPECT_EQ(Field<QPlainTextEdit>("框_区域规则")->toPlainText(),
              ToQString(expected.candidates[1].form.area));
    EXPECT_TRUE(Field<QPlainTextEdit>("状态输出")->toPlainText().contains(Q("推荐方案 2/")));
    EXPECT_EQ(plans_.Get()->size(), 0);
}

TEST_F(PlanEditorSuggestTest, TheWindowKeepsWorkingWhileThePageIsFetched) {
    server_.SetDelay("/notices/index.html", std::chrono::milliseconds(1500));
    editor_->SuggestPlans();
    EXPECT_TRUE(editor_->Suggesting());
    bool served_meanwhile = false;
    QTimer::singleShot(0, editor_.get(), [&] { served_meanwhile = editor_->Suggesting(); });
    ASSERT_TRUE(QTest::qWaitFor([this] { return done_; }, 30000));
    EXPECT_TRUE(served_meanwhile);
    EXPECT_GE(editor_->SuggestionCount(), 1u);
}

TEST_F(PlanEditorSuggestTest, NoListIsSaidInTheStatusBoxAndTheFieldsStay) {
    server_.SetPage("/plain.html", "<html><body><p>Nothing listed</p><a href=\"/\">Home</a></body></html>");
    Field<QLineEdit>("框_url")->setText(Q(server_.Url("/plain.html")));
    Field<QPlainTextEdit>("框_区域规则")->setPlainText(Q("<ul>[*]</ul>"));
    editor_->SuggestPlans();
    ASSERT_TRUE(QTest::qWaitFor([this] { return done_; }, 30000));
    EXPECT_EQ(editor_->SuggestionCount(), 0u);
    EXPECT_EQ(Field<QPlainTextEdit>("框_区域规则")->toPlainText(), Q("<ul>[*]</ul>"));
    EXPECT_TRUE(Field<QPlainTextEdit>("状态输出")->toPlainText().contains(Q("no article list found")));
}

TEST_F(PlanEditorSuggestTest, ClosingTheWindowWhileFetchingWaitsForTheWorker) {
    server_.SetDelay("/notices/index.html", std::chrono::milliseconds(500));
    editor_->SuggestPlans();
    editor_.reset();  // must neither crash nor leave the worker touching a freed window
    SUCCEED();
}

}  // namespace
}  // namespace marl::ui
