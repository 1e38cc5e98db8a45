// The history's figures over 1,000,000 recorded articles: building the search index once, a search
// as the 查询 page asks it (the first 200 matches and their number; target 50 ms for any query),
// and recording 1,000 new articles into a file with the index against one without (target: at most
// 10 % more time).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "monitor/clock.h"
#include "monitor/monitor_context.h"
#include "monitor/monitor_ui.h"
#include "monitor/process_plan.h"
#include "monitor/record_article.h"
#include "store/article_reader.h"
#include "store/database.h"
#include "store/plan_record.h"
#include "store/search_index.h"
#include "support/page_server.h"
#include "support/plan_rows.h"
#include "support/temp_dir.h"
#include "text/gbk_codec.h"

namespace {

constexpr int kStoredRows = 1000000;
constexpr int kPlans = 10;
constexpr int kNewArticles = 1000;

// Words of list-page titles: government notices, news, a few English ones.
const char* const kWords[] = {
    "关于",   "做好",   "年度",    "工作",     "通知",   "公告",   "政府",   "信息",   "公开",  "会议",
    "召开",   "举行",   "全省",    "经济",     "发展",   "新闻",   "发布会", "教育",   "卫生",  "健康",
    "交通",   "建设",   "项目",    "招标",     "采购",   "结果",   "公示",   "人民",   "法院",  "审判",
    "城市",   "管理",   "环境",    "保护",     "科技",   "创新",   "企业",   "服务",   "就业",  "社会",
    "保障",   "农业",   "农村",    "水利",     "文化",   "旅游",   "体育",   "本市",   "地铁",  "三号线",
    "开通",   "运营",   "规划",    "批复",     "印发",   "实施",   "方案",   "意见",   "办法",  "条例",
    "市长",   "调研",   "督导",    "检查",     "安全",   "生产",   "防汛",   "抗旱",   "疫情",  "防控",
    "第一",   "第二",   "季度",    "统计",     "数据",   "解读",   "政策",   "问答",   "征求",  "意见稿",
    "Linux",  "Kernel", "Release", "Update",   "Report", "Market", "Energy", "Qt6",    "Apple", "Open",
    "Source", "Python", "Rust",    "Security", "Cloud",  "AI",     "Data",   "Summit", "News",  "Weekly",
};
const char* const kSites[] = {"www.gov.cn", "news.example.com", "www.sz.gov.cn", "bj.example.org",
                              "www.stats.gov.cn"};

std::string Title(std::mt19937& random) {
    std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
    std::uniform_int_distribution<int> count(4, 9);
    std::string title;
    for (int n = count(random); n > 0; --n) {
        const std::string next = kWords[word(random)];
        const bool ascii = static_cast<unsigned char>(next[0]) < 0x80;
        if (!title.empty() && ascii) title += ' ';
        title += next;
    }
    return title + std::to_string(random() % 1000);
}

std::string Address(std::mt19937& random, int i) {
    return "http://" + std::string(kSites[random() % std::size(kSites)]) + "/art/" +
           std::to_string(2010 + i % 15) + "/" + std::to_string(1 + i % 12) + "/art_" + std::to_string(i) +
           "_" + std::to_string(random() % 99999) + ".html";
}

// Two files of kPlans plans and 1,000,000 articles, the same rows in both; one gets the index.
struct BigStore {
    BigStore() {
        std::mt19937 random(7);
        marl::bench::FillArticleStore(plain(), kPlans, kStoredRows, [&random](int i) {
            std::string title = Title(random);
            return std::make_pair(std::move(title), Address(random, i));
        });
        std::filesystem::copy_file(plain(), indexed());
    }

    // Builds the index in `indexed()` once; the seconds it took.
    double Build() {
        if (build_seconds < 0) {
            std::string why;
            const auto start = std::chrono::steady_clock::now();
            auto last = start;
            // The time between two reports is one chunk's write transaction: how long the build
            // keeps a recorder of another program waiting at most.
            const auto progress = [&](int64_t, int64_t) {
                const auto now = std::chrono::steady_clock::now();
                longest_chunk = std::max(longest_chunk, std::chrono::duration<double>(now - last).count());
                last = now;
                return true;
            };
            if (!marl::BuildSearchIndex(indexed(), progress, why)) throw std::runtime_error(why);
            build_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        return build_seconds;
    }

    std::string plain() const { return dir.File("plain.db"); }
    std::string indexed() const { return dir.File("indexed.db"); }
    marl::test::TempDir dir;
    double build_seconds = -1;
    double longest_chunk = 0;
};

BigStore& Store() {
    static BigStore store;
    return store;
}

void BM_BuildSearchIndex_1M(benchmark::State& state) {
    for (auto _ : state) state.SetIterationTime(Store().Build());
    state.counters["bytes_with_index"] = static_cast<double>(std::filesystem::file_size(Store().indexed()));
    state.counters["bytes_without"] = static_cast<double>(std::filesystem::file_size(Store().plain()));
    state.counters["longest_chunk_ms"] = Store().longest_chunk * 1000;
}
BENCHMARK(BM_BuildSearchIndex_1M)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// A search as the 查询 page makes it: a reader of its own, the first 200 matches newest first and,
// with `total`, how many there are.
void Search(benchmark::State& state, const char* words, bool total) {
    Store().Build();
    int64_t found = 0;
    for (auto _ : state) {
        marl::ArticleReader reader(Store().indexed());
        marl::ArticleQuery query;
        query.words = words;
        query.limit = 200;
        query.count_total = total;
        marl::ArticleSnapshot snapshot;
        if (reader.Read(query, snapshot) != marl::ArticleReadResult::kOk) {
            state.SkipWithError(reader.LastReason().c_str());
            break;
        }
        found = total ? snapshot.total : static_cast<int64_t>(snapshot.articles.size());
    }
    state.counters["found"] = static_cast<double>(found);
}

void SearchPage(benchmark::State& state, const char* words) { Search(state, words, false); }
void SearchPageAndTotal(benchmark::State& state, const char* words) { Search(state, words, true); }

#define MARL_SEARCH(name, words)                                                              \
    BENCHMARK_CAPTURE(SearchPage, name, words)->Unit(benchmark::kMillisecond)->UseRealTime(); \
    BENCHMARK_CAPTURE(SearchPageAndTotal, name, words)->Unit(benchmark::kMillisecond)->UseRealTime()

MARL_SEARCH(LongChinese, "三号线");
MARL_SEARCH(LongChineseRare, "地铁三号线开通");
MARL_SEARCH(TwoChinese, "地铁");
MARL_SEARCH(TwoChineseWords, "通知 公告");
MARL_SEARCH(OneChinese, "市");
MARL_SEARCH(LongAscii, "linux kernel");
MARL_SEARCH(ShortAscii, "qt");
MARL_SEARCH(OneAscii, "q");
MARL_SEARCH(NoHitLong, "zzqqxx");
MARL_SEARCH(NoHitShort, "zq");
MARL_SEARCH(ManyHits, "gov.cn");
MARL_SEARCH(EveryRow, "http");
MARL_SEARCH(Mixed, "地铁 2024 art");

// Recording 1,000 new articles as monitoring does (ArticleRecorder), into each file.
using marl::bench::SilentUi;

struct Recording {
    explicit Recording(const std::string& path) {
        if (!db.Open(path)) throw std::runtime_error("open");
        marl::PlanRecord plan;
        plan.id = 1;
        plan.name = "new";
        plans.Set(std::make_shared<const marl::PlanList>(std::vector<marl::PlanRecord>{plan}));
        std::mt19937 random(11);
        for (int i = 0; i < kNewArticles; ++i) titles.push_back(marl::Utf8ToGbkLossy(Title(random)));
    }

    // 1,000 new articles (a fresh address prefix each round); the seconds it took.
    double Once() {
        const std::string prefix = "http://record" + std::to_string(++round) + ".test/n/";
        SilentUi ui;
        const marl::SystemClock clock;
        const marl::MonitorContext context{db, plans, ui, clock};
        const marl::PlanListPtr list = plans.Get();
        const auto start = std::chrono::steady_clock::now();
        {
            marl::ArticleRecorder recorder(context, *list->At(1), 1);
            for (int i = 0; i < kNewArticles; ++i)
                recorder.Record(prefix + std::to_string(i) + ".html", titles[static_cast<size_t>(i)]);
            recorder.Finish();
        }
        const auto recorded = std::chrono::steady_clock::now();
        // The index takes the articles after the commit, as a pass does after each plan.
        db.CatchUpSearchIndex();
        catch_up = std::chrono::duration<double>(std::chrono::steady_clock::now() - recorded).count();
        return std::chrono::duration<double>(recorded - start).count();
    }

    marl::Database db;
    marl::SharedPlanList plans;
    std::vector<marl::Text> titles;
    int round = 0;
    double catch_up = 0;  // seconds the last round's catch-up of the index took
};

// A whole pass as the monitor makes it (the page fetched over loopback, its links found and
// filtered, 1,000 new articles recorded), into each file.
struct PassRecording {
    explicit PassRecording(const std::string& path, const marl::test::PageServer& server) : server(server) {
        if (!db.Open(path)) throw std::runtime_error("open");
    }

    double Once() {
        marl::PlanRecord plan;
        plan.id = 1;
        plan.name = "new";
        plan.url = server.Url("/new");
        plan.code = "2";
        plan.dom = "http://round" + std::to_string(++round) + ".test";
        marl::SharedPlanList plans;
        plans.Set(std::make_shared<const marl::PlanList>(std::vector<marl::PlanRecord>{plan}));
        SilentUi ui;
        const marl::SystemClock clock;
        const marl::MonitorContext context{db, plans, ui, clock};
        const auto start = std::chrono::steady_clock::now();
        marl::ProcessPlan(context, 1);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    const marl::test::PageServer& server;
    marl::Database db;
    int round = 0;
};

void BM_Pass1000New_IndexOverheadPercent(benchmark::State& state) {
    Store().Build();
    marl::test::PageServer server;
    std::mt19937 random(13);
    std::string page = "<html><body><ul>";
    for (int i = 0; i < kNewArticles; ++i)
        page += "<li><a href=\"/n/" + std::to_string(i) + ".html\">" + Title(random) + "</a></li>\n";
    server.SetPage("/new", page + "</ul></body></html>");
    PassRecording without(Store().plain(), server);
    PassRecording with(Store().indexed(), server);
    for (auto _ : state) {
        double plain = 1e9, indexed = 1e9;
        for (int i = 0; i < 9; ++i) {
            plain = std::min(plain, without.Once());
            indexed = std::min(indexed, with.Once());
        }
        const double percent = std::max(0.0, (indexed / plain - 1.0) * 100.0);
        state.SetIterationTime(percent / 1000.0);
        state.counters["without_ms"] = plain * 1000;
        state.counters["with_ms"] = indexed * 1000;
    }
}
BENCHMARK(BM_Pass1000New_IndexOverheadPercent)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// Both files side by side, alternating, the best of 9 each: how much longer recording takes with
// the index, in percent (reported as the iteration time in ms: 1 ms stands for 1 %).
void BM_Record1000New_IndexOverheadPercent(benchmark::State& state) {
    Store().Build();
    Recording without(Store().plain());
    Recording with(Store().indexed());
    for (auto _ : state) {
        double plain = 1e9, indexed = 1e9, catch_up = 1e9;
        for (int i = 0; i < 9; ++i) {
            plain = std::min(plain, without.Once());
            indexed = std::min(indexed, with.Once());
            catch_up = std::min(catch_up, with.catch_up);
        }
        const double percent = std::max(0.0, (indexed / plain - 1.0) * 100.0);
        state.SetIterationTime(percent / 1000.0);
        state.counters["without_ms"] = plain * 1000;
        state.counters["with_ms"] = indexed * 1000;
        state.counters["catch_up_ms"] = catch_up * 1000;
    }
}
BENCHMARK(BM_Record1000New_IndexOverheadPercent)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace
