#include "store/plan_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/text.h"

namespace marl {
namespace {

// A row of the plan list statement with a few columns set.
std::vector<Text> Row(std::initializer_list<std::pair<PlanColumn, Text>> values) {
    std::vector<Text> row(kPlanColumnCount);
    for (const auto& [column, value] : values) row[column] = value;
    return row;
}

TEST(PlanRecordTest, EncodingFlagOnlyForExactlyOne) {
    const std::pair<Text, int> cases[] = {{"1", 1},  {"2", 0},  {"0", 0}, {"", 0},
                                          {" 1", 0}, {"11", 0}, {"1 ", 0}};
    for (const auto& [code, is_gbk] : cases) {
        const PlanRecord r = PlanRecordFromRow(Row({{kColCode, code}}));
        EXPECT_EQ(r.is_gbk, is_gbk) << "code '" << code << "'";
        EXPECT_EQ(r.code, code);
    }
}

TEST(PlanRecordTest, NumbersFromText) {
    struct Case {
        Text text;
        int32_t url_key_i;
        int64_t ltime;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"-1", -1, -1},
        {"1", 1, 1},
        {"12abc", 12, 12},
        {"abc", 0, 0},
        {Gbk("－１"), -1, -1},                      // full-width forms
        {"99999999999", INT32_MAX, 99999999999LL},  // beyond 32 bits
    };
    for (const Case& c : cases) {
        const PlanRecord r =
            PlanRecordFromRow(Row({{kColId, c.text}, {kColUrlKeyI, c.text}, {kColLtime, c.text}}));
        EXPECT_EQ(r.url_key_i, c.url_key_i) << c.text;
        EXPECT_EQ(r.id, c.url_key_i) << c.text;
        EXPECT_EQ(r.ltime, c.ltime) << c.text;
    }
}

TEST(PlanRecordTest, AreaMarkersFromPart) {
    struct Case {
        Text part, start, end;
    };
    const Case cases[] = {
        {"[*]", "", ""},
        {"", "", ""},
        {"<ul class=\"news\">[*]</ul>", "<ul class=\"news\">", "</ul>"},
        {"<ul class=\"news\"></ul>", "", ""},  // no separator: no area
        {"<div>[*]", "<div>", ""},             // start only
        {"[*]</div>", "", "</div>"},
        {"a[*]b[*]c", "a", "b[*]c"},
        {Gbk("最新更新</h3></div>[*]</ul>"), Gbk("最新更新</h3></div>"), "</ul>"},
        // The quote word stays: it is turned into a quote when the page is cut, not here.
        {Gbk("<div id=#引号list#引号>[*]</div>"), Gbk("<div id=#引号list#引号>"), "</div>"},
    };
    for (const Case& c : cases) {
        const PlanRecord r = PlanRecordFromRow(Row({{kColPart, c.part}}));
        EXPECT_EQ(r.area_start, c.start) << c.part;
        EXPECT_EQ(r.area_end, c.end) << c.part;
        EXPECT_EQ(r.part, c.part);
    }
}

TEST(PlanRecordTest, WordListsAndPostFlag) {
    const PlanRecord r = PlanRecordFromRow(
        Row({{kColInc1, "list$$index"}, {kColInc0, "a$$$b$$"}, {kColInck, "x$$y"}, {kColPost, "a=1"}}));
    EXPECT_EQ(r.inc1, "list|index");
    EXPECT_EQ(r.inc0, "a|$b|");
    EXPECT_EQ(r.inck, "x$$y");  // the must-contain word is taken as stored
    EXPECT_EQ(r.use_post, 1);
    EXPECT_EQ(PlanRecordFromRow(Row({{kColInc1, "news"}})).inc1, "news");
    EXPECT_EQ(PlanRecordFromRow(Row({})).use_post, 0);
}

TEST(PlanRecordTest, ColumnsLandInTheirFields) {
    std::vector<Text> row;
    for (int c = 0; c < kPlanColumnCount; ++c) row.push_back("v" + std::to_string(c));
    row[kColId] = "7";
    const PlanRecord r = PlanRecordFromRow(row);
    EXPECT_EQ(r.id, 7);
    EXPECT_EQ(r.class_, "v1");
    EXPECT_EQ(r.name, "v2");
    EXPECT_EQ(r.url, "v3");
    EXPECT_EQ(r.code, "v4");
    EXPECT_EQ(r.ua, "v5");
    EXPECT_EQ(r.part, "v6");
    EXPECT_EQ(r.js, "v7");
    EXPECT_EQ(r.url_gs, "v8");
    EXPECT_EQ(r.post, "v10");
    EXPECT_EQ(r.inc1, "v11");
    EXPECT_EQ(r.inc0, "v12");
    EXPECT_EQ(r.dom, "v13");
    EXPECT_EQ(r.url_key, "v14");
    EXPECT_EQ(r.inck, "v16");
    // A short row (a query with fewer columns) gives empty fields, not a crash.
    const PlanRecord shorter = PlanRecordFromRow({"3", "1", "name"});
    EXPECT_EQ(shorter.id, 3);
    EXPECT_EQ(shorter.name, "name");
    EXPECT_EQ(shorter.url, "");
}

TEST(PlanListTest, PositionsCountFromOne) {
    std::vector<PlanRecord> records(3);
    records[0].id = 3;
    records[1].id = 7;
    records[2].id = 12;
    const PlanList list(records);
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(list.At(0), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
    EXPECT_EQ(list.At(4), nullptr);
    ASSERT_NE(list.At(1), nullptr);
    EXPECT_EQ(list.At(1)->id, 3);
    EXPECT_EQ(list.At(3)->id, 12);
    EXPECT_EQ(PlanList().At(1), nullptr);
}

TEST(SharedPlanListTest, NeverNullAndReadersKeepTheirList) {
    SharedPlanList shared;
    ASSERT_NE(shared.Get(), nullptr);
    EXPECT_EQ(shared.Get()->size(), 0);

    std::vector<PlanRecord> records(2);
    records[0].name = "old";
    shared.Set(std::make_shared<const PlanList>(records));
    const PlanListPtr held = shared.Get();
    const PlanRecord* record = held->At(1);

    shared.Set(std::make_shared<const PlanList>(std::vector<PlanRecord>(5)));
    EXPECT_EQ(shared.Get()->size(), 5);
    EXPECT_EQ(record->name, "old");  // still alive through `held`

    shared.Set(nullptr);
    ASSERT_NE(shared.Get(), nullptr);
    EXPECT_EQ(shared.Get()->size(), 0);
}

}  // namespace
}  // namespace marl
