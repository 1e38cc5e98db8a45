#include "store/plan_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "store/raw_sqlite.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace marl {
namespace {

using test::RawSqlite;

PlanValues SimpleValues() {
    PlanValues v;
    v.name = "N";
    v.url = "U";
    v.code = "1";
    v.ua = "H";
    v.part = "[*]";
    v.inc1 = "a$$b";
    v.dom = "http://d";
    v.url_key_i = "1";
    return v;
}

TEST(PlanStatementTest, TextsAreExact) {
    EXPECT_EQ(
        PlanListStatement(),
        "SELECT id,class,name,url,code,ua,part,js,url_gs,ltime,post,inc1,inc0,dom,url_key,url_key_i,inck "
        "FROM 'rule' ORDER BY 'id' DESC LIMIT 50");
    EXPECT_EQ(
        FillPlanStatement(SimpleValues(), 0),
        "INSERT INTO \"rule\" (\"class\", \"name\", \"url\", \"code\", \"ua\", \"post\", \"part\", \"js\", "
        "\"url_gs\", \"inc1\", \"inc0\", \"ltime\", \"dom\", \"url_key\", \"url_key_i\", \"inck\")\r\n"
        "VALUES ('1', 'N', 'U', '1', 'H', '', '[*]', '', '', 'a$$b', '', '', 'http://d', '', '1', '');");
    EXPECT_EQ(FillPlanStatement(SimpleValues(), 7),
              "UPDATE \"rule\" SET \"class\" = '1',\"name\" = 'N',\"url\" = 'U',\"dom\" = "
              "'http://d',\"code\" = '1',"
              "\"ua\" = 'H',\"post\" = '',\"part\" = '[*]',\"js\" = '',\"url_gs\" = '',\"inc1\" = 'a$$b',"
              "\"inc0\" = '',\"ltime\" = '',\"url_key\" = '',\"url_key_i\" = '1',\"inck\" = '' WHERE \"id\" "
              "= '7';");
    EXPECT_EQ(DropPlanStatement(12), "DELETE FROM \"rule\" WHERE ((\"id\" = '12'));");
    EXPECT_EQ(DefaultHeaderBlock(),
              Gbk("User-Agent:Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
                  "Chrome/58.0.3029.110 Safari/537.36 SE 2.X MetaSr 1.0\r\n"
                  "Cookie:伪装浏览器或模拟登陆专用（此框一般不用变动）"));
}

TEST(PlanStatementTest, InsertedValuesAreNeverSearchedAgain) {
    PlanValues v = SimpleValues();
    v.name = Gbk("[marl]区域[marl]");  // a later label, markers included
    v.url = "[marl]";
    const Text sql = FillPlanStatement(v, 0);
    EXPECT_NE(sql.find(Gbk("'[marl]区域[marl]', '[marl]', ")), Text::npos) << sql;
    EXPECT_NE(sql.find("'[*]'"), Text::npos);  // the area itself still went to its own place
}

class PlanStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("marltips.db");
        test::CreateDatabaseFile(path_);
        ASSERT_TRUE(db_.Open(path_));
    }

    // Plans with these ids, stored in the given order with name "p<id>".
    void StoreIds(const std::vector<int>& ids) {
        RawSqlite raw(path_);
        for (int id : ids) {
            raw.Exec("INSERT INTO rule (id, name) VALUES (" + std::to_string(id) + ", 'p" +
                     std::to_string(id) + "')");
        }
    }

    std::vector<int32_t> LoadedIds() {
        std::vector<int32_t> ids;
        for (const PlanRecord& r : plans_.Get()->records()) ids.push_back(r.id);
        return ids;
    }

    test::TempDir dir_;
    std::string path_;
    Database db_;
    SharedPlanList plans_;
    PlanStore store_{db_, plans_};
};

TEST_F(PlanStoreTest, LoadsTheFiftyLowestIdsInAscendingOrder) {
    // Stored highest first: the constant sort key must not turn this into insertion order.
    std::vector<int> ids;
    for (int id = 60; id >= 10; --id) ids.push_back(id);
    StoreIds(ids);
    EXPECT_EQ(store_.LoadPlans(), 50);
    std::vector<int32_t> expected;
    for (int id = 10; id < 60; ++id) expected.push_back(id);
    EXPECT_EQ(LoadedIds(), expected);
    EXPECT_EQ(plans_.Get()->At(1)->name, "p10");
    EXPECT_EQ(plans_.Get()->At(51), nullptr);  // id 60 is neither listed nor reachable
}

TEST_F(PlanStoreTest, PositionsFollowIdsNotInsertionOrder) {
    StoreIds({12, 3, 7});
    EXPECT_EQ(store_.LoadPlans(), 3);
    EXPECT_EQ(LoadedIds(), (std::vector<int32_t>{3, 7, 12}));
}

TEST_F(PlanStoreTest, NothingToLoadKeepsTheCurrentList) {
    StoreIds({5});
    ASSERT_EQ(store_.LoadPlans(), 1);
    const PlanListPtr before = plans_.Get();

    RawSqlite raw(path_);
    raw.Exec("DELETE FROM rule");
    EXPECT_EQ(store_.LoadPlans(), 0);
    EXPECT_EQ(plans_.Get(), before);

    raw.Exec("DROP TABLE rule");  // a failing statement behaves alike
    EXPECT_EQ(store_.LoadPlans(), 0);
    EXPECT_EQ(plans_.Get(), before);
}

// A caller that must not mistake a broken database for an empty one (a cron job) asks whether the
// list statement failed; the list itself behaves the same either way.
TEST_F(PlanStoreTest, LoadTellsAFailingStatementFromAnEmptyTable) {
    StoreIds({4});
    bool failed = true;
    ASSERT_EQ(store_.LoadPlans(failed), 1);
    EXPECT_FALSE(failed);
    const PlanListPtr before = plans_.Get();
    db_.SetBusyTimeout(std::chrono::milliseconds(50));

    struct Case {
        const char* what;
        std::function<void(RawSqlite&)> setup;
        bool failed;
    };
    const Case cases[] = {
        {"empty table", [](RawSqlite& raw) { raw.Exec("DELETE FROM rule"); }, false},
        {"locked by another program", [](RawSqlite& raw) { raw.Exec("BEGIN EXCLUSIVE"); }, true},
        {"no plan table", [](RawSqlite& raw) { raw.Exec("DROP TABLE rule"); }, true},
        {"plan table without its columns",
         [](RawSqlite& raw) {
             raw.Exec("DROP TABLE IF EXISTS rule; CREATE TABLE rule (id INTEGER PRIMARY KEY)");
         },
         true},
    };
    for (const Case& c : cases) {
        RawSqlite raw(path_);
        c.setup(raw);
        failed = !c.failed;
        EXPECT_EQ(store_.LoadPlans(failed), 0) << c.what;
        EXPECT_EQ(failed, c.failed) << c.what;
        EXPECT_EQ(plans_.Get(), before) << c.what;
    }

    db_.Close();
    failed = false;
    EXPECT_EQ(store_.LoadPlans(failed), 0);
    EXPECT_TRUE(failed) << "no connection";
    EXPECT_EQ(plans_.Get(), before);
}

TEST_F(PlanStoreTest, AwkwardValuesAreStoredExactlyAsTyped) {
    PlanValues v;
    v.name = Gbk("O'Brien's [marl]名称[marl] 区域 时间");
    v.url = "http://example.test/list?a='1'&b=[marl]";
    v.code = "2";
    v.ua = Gbk("User-Agent:x\r\nCookie:伪装 ''");
    v.post = "q=1'; DROP TABLE rule; --";
    v.part = Gbk("<ul class=\"新闻\">[*]</ul>");
    v.inc1 = Gbk("list$$索引");
    v.inc0 = "[marl]";
    v.dom = Gbk("[marl]前缀[marl]");
    v.url_key = "'";
    v.url_key_i = "-1";
    v.inck = Gbk("必含词");
    const StoreResult saved = store_.UpsertPlan(v, 0);
    ASSERT_TRUE(saved.ok) << saved.sql;
    EXPECT_NE(saved.sql.find("'O''Brien''s "), Text::npos);

    ASSERT_EQ(store_.LoadPlans(), 1);
    const PlanRecord& r = *plans_.Get()->At(1);
    EXPECT_EQ(r.name, v.name);
    EXPECT_EQ(r.url, v.url);
    EXPECT_EQ(r.code, "2");
    EXPECT_EQ(r.is_gbk, 0);
    EXPECT_EQ(r.ua, v.ua);
    EXPECT_EQ(r.post, v.post);
    EXPECT_EQ(r.use_post, 1);
    EXPECT_EQ(r.part, v.part);
    EXPECT_EQ(r.area_start, Gbk("<ul class=\"新闻\">"));
    EXPECT_EQ(r.inc1, Gbk("list|索引"));
    EXPECT_EQ(r.inc0, "[marl]");
    EXPECT_EQ(r.dom, v.dom);
    EXPECT_EQ(r.url_key, "'");
    EXPECT_EQ(r.url_key_i, -1);
    EXPECT_EQ(r.inck, v.inck);
    EXPECT_EQ(r.class_, "1");
    EXPECT_EQ(r.js, "");
    EXPECT_EQ(r.url_gs, "");
}

TEST_F(PlanStoreTest, ValueThatIsNotGbkFailsCleanly) {
    PlanValues v = SimpleValues();
    v.name = "broken\x81";  // a lead byte with nothing after it
    const StoreResult saved = store_.UpsertPlan(v, 0);
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.sql.find("'broken\x81'"), Text::npos);
    EXPECT_EQ(store_.LoadPlans(), 0);
}

TEST_F(PlanStoreTest, UpdateRewritesTheFixedColumnsAndTargetsOnlyItsRow) {
    ASSERT_TRUE(store_.UpsertPlan(SimpleValues(), 0).ok);
    ASSERT_TRUE(store_.UpsertPlan(SimpleValues(), 0).ok);  // saving twice stores two plans
    RawSqlite raw(path_);
    raw.Exec("UPDATE rule SET class='9', js='j', url_gs='g', ltime='5'");

    PlanValues changed = SimpleValues();
    changed.name = Gbk("改名");
    ASSERT_TRUE(store_.UpsertPlan(changed, 2).ok);
    EXPECT_EQ(raw.Column("SELECT name || '|' || class || js || url_gs || ltime FROM rule ORDER BY id"),
              (std::vector<std::string>{"N|9jg5", "改名|1"}));

    // A plan deleted meanwhile: success, nothing changes.
    const StoreResult gone = store_.UpsertPlan(changed, 99);
    EXPECT_TRUE(gone.ok);
    EXPECT_EQ(raw.Column("SELECT count(*) FROM rule"), std::vector<std::string>{"2"});
}

TEST_F(PlanStoreTest, DropRemovesOnlyThatPlanAndLeavesTheListAlone) {
    StoreIds({3, 7});
    ASSERT_EQ(store_.LoadPlans(), 2);
    const StoreResult dropped = store_.DropPlan(3);
    EXPECT_TRUE(dropped.ok);
    EXPECT_EQ(dropped.sql, "DELETE FROM \"rule\" WHERE ((\"id\" = '3'));");
    EXPECT_EQ(plans_.Get()->size(), 2);  // no reload until the next save or start
    EXPECT_TRUE(store_.DropPlan(3).ok);  // nothing left to delete is still success
    EXPECT_EQ(store_.LoadPlans(), 1);
    EXPECT_EQ(LoadedIds(), std::vector<int32_t>{7});

    db_.Close();
    const StoreResult failed = store_.DropPlan(7);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.sql, "DELETE FROM \"rule\" WHERE ((\"id\" = '7'));");
}

}  // namespace
}  // namespace marl
