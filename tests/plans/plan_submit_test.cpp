// The editor's save rules without its window: checks, values, insert or update, and what a save
// means for a monitor that is running.
#include "plans/plan_submit.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "monitor/monitor_context.h"
#include "monitor/monitor_pass.h"
#include "monitor/process_plan.h"
#include "store/database.h"
#include "store/plan_store.h"
#include "store/raw_sqlite.h"
#include "support/fake_clock.h"
#include "support/fake_monitor_ui.h"
#include "support/page_server.h"
#include "support/temp_dir.h"
#include "text/text_ops.h"

namespace marl {
namespace {

PlanForm FilledForm() {
    PlanForm form = NewPlanForm();
    form.encoding = PlanEncoding::kUtf8;
    form.name = Gbk("新闻 'quoted'");
    form.url = "http://127.0.0.1/list";
    form.area = Gbk("<ul class=#引号news#引号>[*]</ul>");
    form.must_contain = "news";
    form.may_contain = "list$$index";
    form.must_not_contain = "ad$$tag";
    form.link_prefix = "http://127.0.0.1/";
    form.post = "a=1\r\nb=2";
    form.row_marker = "<img";
    form.row_marker_mode = RowMarkerMode::kMustNotContain;
    return form;
}

void ExpectSameFields(const PlanForm& a, const PlanForm& b) {
    EXPECT_EQ(a.encoding, b.encoding);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.url, b.url);
    EXPECT_EQ(a.area, b.area);
    EXPECT_EQ(a.must_contain, b.must_contain);
    EXPECT_EQ(a.may_contain, b.may_contain);
    EXPECT_EQ(a.must_not_contain, b.must_not_contain);
    EXPECT_EQ(a.ua, b.ua);
    EXPECT_EQ(a.post, b.post);
    EXPECT_EQ(a.link_prefix, b.link_prefix);
    EXPECT_EQ(a.row_marker, b.row_marker);
    EXPECT_EQ(a.row_marker_mode, b.row_marker_mode);
    EXPECT_EQ(a.position, b.position);
}

TEST(PlanFormTest, ChecksStopAtTheFirstFailureInTheirOrder) {
    struct Case {
        PlanEncoding encoding;
        const char* name;
        const char* url;
        std::optional<const char*> message;
    };
    const Case cases[] = {
        {PlanEncoding::kAuto, "", "", "请选择网站编码"},
        {PlanEncoding::kAuto, "n", "u", "请选择网站编码"},
        {PlanEncoding::kGbk, "", "", "名称不能空"},
        {PlanEncoding::kUtf8, "", "u", "名称不能空"},
        {PlanEncoding::kGbk, "n", "", "列表网址不能空"},
        {PlanEncoding::kGbk, " ", " ", std::nullopt},
        {PlanEncoding::kUtf8, "n", "u", std::nullopt},
        // A line break in the address would become a header line of its own when it is sent.
        {PlanEncoding::kGbk, "n", "http://h/echo\r\nX-Smuggled: yes", "列表网址不能含换行"},
        {PlanEncoding::kUtf8, "n", "http://h/a\nb", "列表网址不能含换行"},
        {PlanEncoding::kUtf8, "n", "http://h/a\r", "列表网址不能含换行"},
        {PlanEncoding::kGbk, "", "http://h/a\r\n", "名称不能空"},
        {PlanEncoding::kUtf8, "n", "http://h/a\tb c", std::nullopt},
    };
    for (const Case& c : cases) {
        PlanForm form;
        form.encoding = c.encoding;
        form.name = c.name;
        form.url = c.url;
        const auto message = FailedSubmitCheck(form);
        SCOPED_TRACE(std::to_string(static_cast<int>(c.encoding)) + "/" + c.name + "/" + c.url);
        ASSERT_EQ(message.has_value(), c.message.has_value());
        if (message) {
            EXPECT_EQ(*message, Gbk(*c.message));
        }
    }
}

TEST(PlanFormTest, StoredPlanOpensWithWordsAsTypedAndKnownChoices) {
    struct Case {
        const char* code;
        PlanEncoding encoding;
        int32_t url_key_i;
        RowMarkerMode shown_mode;
    };
    constexpr PlanEncoding kAuto = PlanEncoding::kAuto;
    constexpr PlanEncoding kGbk = PlanEncoding::kGbk;
    constexpr PlanEncoding kUtf8 = PlanEncoding::kUtf8;
    constexpr RowMarkerMode kMust = RowMarkerMode::kMustContain;
    constexpr RowMarkerMode kMustNot = RowMarkerMode::kMustNotContain;
    // A code the list cannot show must not slip through as a stored value: 自动识别 makes the user
    // choose again. Every row value but -1 shows 必须包含.
    const Case cases[] = {{"1", kGbk, 1, kMust},  {"2", kUtf8, -1, kMustNot}, {"0", kAuto, 0, kMust},
                          {"7", kAuto, 1, kMust}, {"", kAuto, 5, kMust},      {"-1", kAuto, 1, kMust},
                          {"２", kUtf8, 1, kMust}};
    for (const Case& c : cases) {
        PlanRecord plan;
        plan.code = Gbk(c.code);
        plan.url_key_i = c.url_key_i;
        plan.inc1 = "list|index";  // as PlanRecordFromRow leaves "list$$index"
        plan.inc0 = "a||b";
        plan.part = "x[*]y";
        const PlanForm form = PlanFormOf(plan, 4);
        SCOPED_TRACE(c.code);
        EXPECT_EQ(form.encoding, c.encoding);
        EXPECT_EQ(form.row_marker_mode, c.shown_mode);
        EXPECT_EQ(form.may_contain, "list$$index");
        EXPECT_EQ(form.must_not_contain, "a$$$$b");
        EXPECT_EQ(form.area, "x[*]y");
        EXPECT_EQ(form.position, "4");
    }
}

// Only a "|" of its own goes back to "$$": GBK characters whose second byte is 0x7C stay whole.
TEST(PlanFormTest, FilterWordsKeepCharactersWhoseSecondByteIsABar) {
    PlanRecord plan;
    plan.code = "1";
    plan.inck = Gbk("東");
    plan.inc1 = Gbk("東京|list|億元");  // as PlanRecordFromRow leaves "東京$$list$$億元"
    plan.inc0 = Gbk("縷|瑋");
    const PlanForm form = PlanFormOf(plan, 1);
    EXPECT_EQ(form.must_contain, Gbk("東"));
    EXPECT_EQ(form.may_contain, Gbk("東京$$list$$億元"));
    EXPECT_EQ(form.must_not_contain, Gbk("縷$$瑋"));
}

class SubmitPlanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("marltips.db");
        test::CreateDatabaseFile(path_);
        ASSERT_TRUE(db_.Open(path_));
    }

    // Plans with these ids and names "p<id>".
    void StoreIds(const std::vector<int>& ids) {
        test::RawSqlite raw(path_);
        for (int id : ids) {
            raw.Exec("INSERT INTO rule (id, name, url, code, url_key_i) VALUES (" + std::to_string(id) +
                     ", 'p" + std::to_string(id) + "', 'http://h/', '1', '1')");
        }
        store_.LoadPlans();
    }

    std::vector<std::string> Names() {
        test::RawSqlite raw(path_);
        return raw.Column("SELECT id || ':' || name FROM rule ORDER BY id");
    }

    test::TempDir dir_;
    std::string path_;
    Database db_;
    SharedPlanList plans_;
    PlanStore store_{db_, plans_};
};

TEST_F(SubmitPlanTest, EverySavedFieldReopensAsTyped) {
    const PlanForm form = FilledForm();
    const SubmitOutcome outcome = SubmitPlan(form, 0, store_);
    ASSERT_EQ(outcome.status, SubmitOutcome::kSaved) << outcome.sql;
    ASSERT_EQ(store_.LoadPlans(), 1);
    PlanForm reopened = PlanFormOf(*plans_.Get()->At(1), 1);
    PlanForm expected = form;
    expected.position = "1";
    ExpectSameFields(reopened, expected);
    // The stored texts are the typed ones; only the loaded record carries "|".
    test::RawSqlite raw(path_);
    EXPECT_EQ(raw.Column("SELECT inc1 || ',' || code || ',' || url_key_i || ',' || class FROM rule"),
              std::vector<std::string>{"list$$index,2,-1,1"});
}

TEST_F(SubmitPlanTest, RefusedFormTouchesNothing) {
    PlanForm form = FilledForm();
    form.name.clear();
    const SubmitOutcome outcome = SubmitPlan(form, 0, store_);
    EXPECT_EQ(outcome.status, SubmitOutcome::kRefused);
    EXPECT_EQ(outcome.message, Gbk("名称不能空"));
    EXPECT_TRUE(outcome.sql.empty());
    EXPECT_TRUE(Names().empty());
}

TEST_F(SubmitPlanTest, PositionZeroInsertsEveryTimeAndAbove0UpdatesTheOpenedPlan) {
    StoreIds({3, 7, 12});
    PlanForm form = FilledForm();
    form.name = "again";
    // Each insert names the row it made, also when the connection's last insert was another table's.
    ASSERT_TRUE(db_.ExecuteSql("INSERT INTO info (url) VALUES ('http://h/1')"));
    const SubmitOutcome first = SubmitPlan(form, 0, store_);
    ASSERT_EQ(first.status, SubmitOutcome::kSaved);
    EXPECT_EQ(first.id, 13);
    const SubmitOutcome again = SubmitPlan(form, 0, store_);
    ASSERT_EQ(again.status, SubmitOutcome::kSaved);
    EXPECT_EQ(again.id, 14);
    EXPECT_EQ(Names(), (std::vector<std::string>{"3:p3", "7:p7", "12:p12", "13:again", "14:again"}));

    PlanForm second = PlanFormOf(*plans_.Get()->At(2), 2);
    second.name = "changed";
    const SubmitOutcome outcome = SubmitPlan(second, plans_.Get()->At(2)->id, store_);
    ASSERT_EQ(outcome.status, SubmitOutcome::kSaved);
    EXPECT_EQ(outcome.id, 7);
    EXPECT_NE(outcome.sql.find("WHERE \"id\" = '7';"), Text::npos) << outcome.sql;
    EXPECT_EQ(Names(), (std::vector<std::string>{"3:p3", "7:changed", "12:p12", "13:again", "14:again"}));
}

// The editor keeps the position it was opened with until the next opening. When plans are deleted and the
// list reloaded meanwhile, that position names another plan: the update still goes to the plan that was
// opened, never to the one that moved into its place.
TEST_F(SubmitPlanTest, UpdateFollowsTheOpenedPlanWhenTheListShifts) {
    StoreIds({3, 7, 12});
    PlanForm form = PlanFormOf(*plans_.Get()->At(2), 2);
    const int32_t opened = plans_.Get()->At(2)->id;
    ASSERT_TRUE(store_.DropPlan(3).ok);
    ASSERT_EQ(store_.LoadPlans(), 2);  // 12 now sits at position 2
    form.encoding = PlanEncoding::kGbk;
    form.name = "edited";
    ASSERT_EQ(SubmitPlan(form, opened, store_).status, SubmitOutcome::kSaved);
    EXPECT_EQ(Names(), (std::vector<std::string>{"7:edited", "12:p12"}));
}

TEST_F(SubmitPlanTest, FailedStatementIsReportedWithItsTextAndChangesNothing) {
    StoreIds({5});
    ASSERT_TRUE(db_.ExecuteSql("PRAGMA query_only = 1"));
    const SubmitOutcome outcome = SubmitPlan(FilledForm(), 0, store_);
    EXPECT_EQ(outcome.status, SubmitOutcome::kFailed);
    EXPECT_EQ(outcome.sql.rfind("INSERT INTO \"rule\"", 0), 0u) << outcome.sql;
    EXPECT_EQ(Names(), std::vector<std::string>{"5:p5"});
}

// A plan saved while the monitor runs: the pass in hand finishes with what it had, the next pass works
// with the changed plan.
TEST_F(SubmitPlanTest, PlanChangedDuringAPassIsUsedFromTheNextPass) {
    test::PageServer server;
    server.SetPage("/old", "<a href=\"/o/1\">old one</a>");
    server.SetPage("/new", "<a href=\"/n/1\">new one</a><a href=\"/n/2\">new two</a>");
    PlanForm form = FilledForm();
    form.name = "watched";
    form.url = server.Url("/old");
    form.area = "[*]";
    form.must_contain = form.may_contain = form.must_not_contain = form.link_prefix = form.row_marker = "";
    ASSERT_EQ(SubmitPlan(form, 0, store_).status, SubmitOutcome::kSaved);
    ASSERT_EQ(store_.LoadPlans(), 1);

    test::FakeMonitorUi ui;
    test::FakeClock clock{2024, 3, 5, 7, 8, 9};
    test::RecordingPauser pauser;
    const MonitorContext context{db_, plans_, ui, clock};
    int processed = 0;
    const PlanProcessor process = [&](int32_t position) {
        ProcessPlan(context, position);
        if (++processed == 1) {
            // The user saves a change while the worker is still inside the first pass.
            PlanForm changed = PlanFormOf(*plans_.Get()->At(1), 1);
            changed.name = "renamed";
            changed.url = server.Url("/new");
            ASSERT_EQ(SubmitPlan(changed, plans_.Get()->At(1)->id, store_).status, SubmitOutcome::kSaved);
            ASSERT_EQ(store_.LoadPlans(), 1);
        }
    };
    ASSERT_TRUE(RunPass({1}, process, pauser));
    EXPECT_EQ(ui.Rows().size(), 1u);
    ASSERT_TRUE(RunPass({1}, process, pauser));

    EXPECT_EQ(server.Hits("/old"), 1);
    EXPECT_EQ(server.Hits("/new"), 1);
    std::vector<Text> plan_names;
    for (const auto& row : ui.Rows()) plan_names.push_back(row.plan + ":" + row.address);
    EXPECT_EQ(plan_names, (std::vector<Text>{"renamed:/n/1", "renamed:/n/2", "watched:/o/1"}));
}

}  // namespace
}  // namespace marl
