#include "feed_store.h"

#include <gtest/gtest.h>

#include "monitor/monitor_context.h"
#include "monitor/record_article.h"
#include "store/plan_store.h"
#include "store/raw_sqlite.h"
#include "support/fake_clock.h"
#include "support/fake_monitor_ui.h"
#include "support/plan_rows.h"
#include "text/gbk_codec.h"

namespace marl::test {

FeedStore::FeedStore() {
    CreateDatabaseFile(path());
    EXPECT_TRUE(db_.Open(path()));
}

int32_t FeedStore::AddPlan(const std::string& utf8_name) {
    const int32_t id = plans_.Get()->size() + 1;
    EXPECT_TRUE(InsertPlanRow(db_, id, utf8_name, "http://127.0.0.1/list"));
    std::vector<std::vector<Text>> rows;
    db_.QueryRows(PlanListStatement(), rows);
    std::vector<PlanRecord> records;
    for (const auto& row : rows) records.push_back(PlanRecordFromRow(row));
    plans_.Set(std::make_shared<const PlanList>(std::move(records)));
    return id;
}

void FeedStore::Record(int32_t plan_id, const std::vector<std::pair<std::string, std::string>>& articles) {
    FakeMonitorUi ui;
    FakeClock clock{2024, 3, 5, 7, 8, 9};
    MonitorContext context{db_, plans_, ui, clock};
    const PlanListPtr list = plans_.Get();
    for (int position = 1; position <= list->size(); ++position) {
        const PlanRecord& plan = *list->At(position);
        if (plan.id != plan_id) continue;
        ArticleRecorder recorder(context, plan, position);
        for (const auto& [title, url] : articles) recorder.Record(Utf8ToGbkLossy(url), Utf8ToGbkLossy(title));
        recorder.Finish();
    }
}

void FeedStore::PlantOld(const std::string& utf8_title, const std::string& url) {
    RawSqlite raw(path());
    raw.ExecBound("INSERT INTO info (classid, title, url, addtime) VALUES ('1', ?, ?, '')",
                  {utf8_title, url});
}

}  // namespace marl::test
