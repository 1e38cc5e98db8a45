// Searching the recorded articles, favourites and the search index, on real database files
// recorded through the recording transaction the monitor uses.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "store/article_reader.h"
#include "store/database.h"
#include "store/favourites.h"
#include "store/raw_sqlite.h"
#include "store/search_index.h"
#include "support/plan_rows.h"
#include "support/temp_dir.h"
#include "text/gbk_codec.h"

namespace marl {
namespace {

using test::RawSqlite;
using Titles = std::vector<std::string>;

class ArticleSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("marltips.db");
        test::CreateDatabaseFile(path_);
        ASSERT_TRUE(db_.Open(path_));
    }

    // Records one article as monitoring does: look, store, plan id, commit. Its rowid.
    int64_t Record(const std::string& title, const std::string& url, int32_t plan_id = 1, int position = 1) {
        EXPECT_EQ(db_.CheckArticle(Utf8ToGbkLossy(url)), Database::Seen::kNew) << url;
        ArticleRecord row;
        row.classid = std::to_string(position);
        row.title = Utf8ToGbkLossy(title);
        row.url = Utf8ToGbkLossy(url);
        row.addtime = "2024-03-05 07:08:09";
        EXPECT_TRUE(db_.StoreArticle(row));
        EXPECT_TRUE(db_.StoreArticlePlan(plan_id));
        EXPECT_EQ(db_.CommitArticles(), 0);
        return NewestRow();
    }

    int64_t NewestRow() {
        RawSqlite raw(path_);
        return std::stoll(raw.Column("SELECT coalesce(max(rowid), 0) FROM info")[0]);
    }

    void Build() {
        std::string why;
        ASSERT_TRUE(BuildSearchIndex(path_, {}, why)) << why;
    }

    ArticleSnapshot Read(const ArticleQuery& query, ArticleReadResult expected = ArticleReadResult::kOk) {
        ArticleSnapshot out;
        ArticleReader reader(path_);
        EXPECT_EQ(reader.Read(query, out), expected) << reader.LastReason();
        reason_ = reader.LastReason();
        return out;
    }

    Titles Search(const std::string& words, bool scan = false) {
        ArticleQuery query;
        query.words = words;
        query.limit = 100;
        query.scan_without_index = scan;
        Titles titles;
        for (const RecordedArticle& article : Read(query).articles) titles.push_back(article.title);
        return titles;
    }

    std::string IndexMark() {
        RawSqlite raw(path_);
        return raw.Column("SELECT done || '/' || ready FROM article_search_state")[0];
    }

    test::TempDir dir_;
    std::string path_;
    Database db_;
    std::string reason_;
};

// The articles every search row runs against, oldest first.
const std::vector<std::pair<std::string, std::string>> kArticles = {
    {"本市地铁三号线开通", "http://a.test/news/1.html"},
    {"Linux Kernel Release", "http://b.test/k/2"},
    {"关于地铁票价的通知", "http://a.test/notice/3"},
    {"Say \"hello\" OR NEAR(x) -minus *star", "http://c.test/4"},
    {"ab", "http://d.test/x?q=AB"},
};

TEST_F(ArticleSearchTest, EveryWordMustOccurInTheTitleOrAddress) {
    struct Row {
        const char* words;
        Titles expected;  // newest first
    };
    const std::string quote = kArticles[3].first;
    const std::vector<Row> rows = {
        {"地铁", {"关于地铁票价的通知", "本市地铁三号线开通"}},  // Chinese as a substring
        {"本市地铁三号线", {"本市地铁三号线开通"}},
        {"地", {"关于地铁票价的通知", "本市地铁三号线开通"}},
        {"通知 a.test", {"关于地铁票价的通知"}},      // one word in the title, one in the address
        {"LINUX release", {"Linux Kernel Release"}},  // ASCII case-blind
        {"linux 地铁", {}},                           // every word, not any
        {"k", {"Linux Kernel Release"}},              // one letter
        {"ab", {"ab"}},                               // a word that ends the title
        {"q=ab", {"ab"}},
        {"\"hello\"", {quote}},  // query syntax is plain text
        {"OR", {quote}},
        {"NEAR(x)", {quote}},
        {"-minus", {quote}},
        {"*star", {quote}},
        {"\"", {quote}},
        {"\"\"", {}},
        {"zzz", {}},
        {"   ", {"ab", quote, "关于地铁票价的通知", "Linux Kernel Release", "本市地铁三号线开通"}},
    };
    for (const auto& [title, url] : kArticles) Record(title, url);
    // The same answers by a scan without an index, by the index, and with the newest two left
    // above the index's mark (as an older program records them).
    for (const Row& row : rows) EXPECT_EQ(Search(row.words, true), row.expected) << "scan: " << row.words;
    Build();
    for (const Row& row : rows) EXPECT_EQ(Search(row.words), row.expected) << "index: " << row.words;
    // One reader kept open answers them all in turn, as a window's or a server's reader does.
    ArticleReader kept(path_);
    for (const Row& row : rows) {
        ArticleQuery query;
        query.words = row.words;
        query.limit = 100;
        ArticleSnapshot out;
        EXPECT_EQ(kept.Read(query, out), ArticleReadResult::kOk) << kept.LastReason();
        Titles titles;
        for (const RecordedArticle& article : out.articles) titles.push_back(article.title);
        EXPECT_EQ(titles, row.expected) << "kept reader: " << row.words;
    }

    path_ = dir_.File("second.db");
    test::CreateDatabaseFile(path_);
    ASSERT_TRUE(db_.Open(path_));
    for (size_t i = 0; i < 3; ++i) Record(kArticles[i].first, kArticles[i].second);
    Build();
    {
        RawSqlite raw(path_);
        for (size_t i = 3; i < kArticles.size(); ++i)
            raw.ExecBound("INSERT INTO info (classid, title, url, addtime) VALUES ('1', ?, ?, '')",
                          {kArticles[i].first, kArticles[i].second});
    }
    EXPECT_EQ(IndexMark(), "3/1");
    for (const Row& row : rows)
        EXPECT_EQ(Search(row.words), row.expected) << "index and rows above: " << row.words;
}

TEST_F(ArticleSearchTest, WordsWithoutAnIndexAreRefusedWithTheReason) {
    Record("本市地铁三号线", "http://a.test/1");
    ArticleQuery query;
    query.words = "地铁";
    Read(query, ArticleReadResult::kNoSearch);
    EXPECT_EQ(reason_, "搜索索引尚未建立");
    // Listing without words needs no index.
    query.words = " ";
    EXPECT_EQ(Read(query).articles.size(), 1u);
}

TEST_F(ArticleSearchTest, PagesAndTotalsAcrossTheIndexAndTheRowsAboveIt) {
    for (int i = 1; i <= 30; ++i) Record("Item " + std::to_string(i), "http://a.test/" + std::to_string(i));
    Build();
    // Rows 31..35 above the mark: recorded by another program that knows no index.
    {
        RawSqlite raw(path_);
        for (int i = 31; i <= 35; ++i)
            raw.Exec("INSERT INTO info (classid, title, url, addtime) VALUES ('1', 'Item " +
                     std::to_string(i) + "', 'http://a.test/" + std::to_string(i) + "', '')");
    }
    for (const bool scan : {false, true}) {
        if (scan) RawSqlite(path_).Exec("UPDATE article_search_state SET ready = 0");
        for (const int64_t offset : {0, 3, 5, 8, 33, 40}) {
            ArticleQuery query;
            query.words = "item";
            query.limit = 4;
            query.offset = offset;
            query.count_total = true;
            query.scan_without_index = scan;
            const ArticleSnapshot snapshot = Read(query);
            Titles expected;
            for (int64_t i = 35 - offset; i >= 1 && i > 35 - offset - 4; --i)
                expected.push_back("Item " + std::to_string(i));
            Titles got;
            for (const RecordedArticle& article : snapshot.articles) got.push_back(article.title);
            EXPECT_EQ(got, expected) << "offset " << offset << (scan ? " scan" : " index");
            EXPECT_EQ(snapshot.total, 35) << offset;
        }
    }
    // Limits and offsets past any file's size: nothing, or everything, and never an overflow.
    ArticleQuery huge;
    huge.words = "item";
    huge.scan_without_index = true;
    huge.limit = INT64_MAX;
    huge.offset = INT64_MAX;
    EXPECT_TRUE(Read(huge).articles.empty());
    huge.offset = -5;
    EXPECT_EQ(Read(huge).articles.size(), 35u);
}

TEST_F(ArticleSearchTest, PlanFilterAndPlanNames) {
    ASSERT_TRUE(test::InsertPlanRow(db_, 1, "市政府", "http://a.test/"));
    ASSERT_TRUE(test::InsertPlanRow(db_, 2, "地铁公司", "http://b.test/"));
    Record("地铁一号线", "http://a.test/1", 1, 1);
    Record("地铁二号线", "http://b.test/2", 2, 2);
    Record("地铁三号线", "http://b.test/3", 9, 2);  // a plan since deleted
    {
        // Recorded before plan ids were kept: named by the position in classid, or not at all.
        RawSqlite raw(path_);
        raw.Exec(
            "INSERT INTO info (classid, title, url, addtime) VALUES ('2', '地铁旧文', 'http://b.test/4', "
            "'')");
        raw.Exec(
            "INSERT INTO info (classid, title, url, addtime) VALUES ('7', '地铁无主', 'http://b.test/5', "
            "'')");
    }
    Build();
    ArticleQuery query;
    query.words = "地铁";
    query.count_total = true;
    std::vector<std::pair<std::string, std::string>> named;
    for (const RecordedArticle& article : Read(query).articles)
        named.emplace_back(article.title, article.plan);
    EXPECT_EQ(named, (std::vector<std::pair<std::string, std::string>>{{"地铁无主", ""},
                                                                       {"地铁旧文", "地铁公司"},
                                                                       {"地铁三号线", ""},
                                                                       {"地铁二号线", "地铁公司"},
                                                                       {"地铁一号线", "市政府"}}));
    query.plan_id = 2;
    const ArticleSnapshot of_plan = Read(query);
    ASSERT_EQ(of_plan.articles.size(), 1u);
    EXPECT_EQ(of_plan.articles[0].title, "地铁二号线");
    EXPECT_EQ(of_plan.total, 1);
    query.plan_id = 5;
    Read(query, ArticleReadResult::kUnknownPlan);
}

TEST_F(ArticleSearchTest, FavouritesRoundTrip) {
    const int64_t first = Record("第一篇", "http://a.test/1");
    const int64_t second = Record("第二篇 地铁", "http://a.test/2");
    const int64_t third = Record("第三篇 地铁", "http://a.test/3");
    std::string why;
    ASSERT_TRUE(SetFavourite(path_, third, true, why)) << why;
    ASSERT_TRUE(SetFavourite(path_, first, true, why)) << why;
    ASSERT_TRUE(SetFavourite(path_, third, true, why)) << why;  // again: keeps its place
    const auto favourites = [&](const std::string& words = "") {
        ArticleQuery query;
        query.favourites_only = true;
        query.words = words;
        query.count_total = true;
        const ArticleSnapshot snapshot = Read(query);
        Titles titles;
        for (const RecordedArticle& article : snapshot.articles) {
            EXPECT_TRUE(article.favourite);
            titles.push_back(article.title);
        }
        EXPECT_EQ(snapshot.total, static_cast<int64_t>(titles.size()));
        return titles;
    };
    EXPECT_EQ(favourites(), (Titles{"第一篇", "第三篇 地铁"}));  // newest favourite first
    EXPECT_EQ(favourites("地铁"), Titles{"第三篇 地铁"});        // no index needed for favourites
    std::vector<bool> flags;
    for (const RecordedArticle& article : Read(ArticleQuery()).articles) flags.push_back(article.favourite);
    EXPECT_EQ(flags, (std::vector<bool>{true, false, true}));

    ASSERT_TRUE(SetFavourite(path_, third, false, why)) << why;
    ASSERT_TRUE(SetFavourite(path_, second, false, why)) << why;  // not a favourite: done
    EXPECT_EQ(favourites(), Titles{"第一篇"});
    EXPECT_FALSE(SetFavourite(path_, 999, true, why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(SetFavourite(dir_.File("missing.db"), first, true, why));
    EXPECT_FALSE(why.empty());

    // The monitor never touches them: recording more leaves the favourites as they are.
    Record("第四篇", "http://a.test/4");
    EXPECT_EQ(favourites(), Titles{"第一篇"});
}

TEST_F(ArticleSearchTest, IndexCatchesUpAfterTheCommitAndNeverTakesARolledBackArticle) {
    Record("旧文章", "http://a.test/1");
    Build();
    EXPECT_EQ(IndexMark(), "1/1");
    // Recording leaves the index alone; the search reads the row above the mark directly.
    const int64_t added = Record("新开通的地铁线路", "http://a.test/2");
    EXPECT_EQ(IndexMark(), "1/1");
    EXPECT_EQ(Search("地铁线路"), Titles{"新开通的地铁线路"});
    EXPECT_EQ(db_.CatchUpSearchIndex(), 1);
    EXPECT_EQ(IndexMark(), std::to_string(added) + "/1");
    EXPECT_EQ(Search("地铁线路"), Titles{"新开通的地铁线路"});

    // A recording taken back never reaches the index.
    ASSERT_EQ(db_.CheckArticle("http://a.test/3"), Database::Seen::kNew);
    ArticleRecord row;
    row.classid = "1";
    row.title = Utf8ToGbkLossy("撤回的地铁文章");
    row.url = "http://a.test/3";
    ASSERT_TRUE(db_.StoreArticle(row));
    EXPECT_EQ(db_.RollbackArticles(), 1);
    EXPECT_EQ(db_.CatchUpSearchIndex(), 0);
    EXPECT_EQ(IndexMark(), std::to_string(added) + "/1");
    EXPECT_EQ(Search("撤回"), Titles{});
    // The next article takes the freed place and the index follows.
    const int64_t next = Record("后来的文章", "http://a.test/4");
    EXPECT_EQ(db_.CatchUpSearchIndex(), 1);
    EXPECT_EQ(IndexMark(), std::to_string(next) + "/1");
    EXPECT_EQ(Search("后来"), Titles{"后来的文章"});
    {
        RawSqlite raw(path_);
        EXPECT_EQ(raw.Column("SELECT count(*) FROM article_search WHERE article_search MATCH '\"撤回的\"'"),
                  Titles{"0"});
    }

    // Another program holding the file: the catch-up gives way and the next one takes the row.
    {
        RawSqlite other(path_);
        other.Exec("BEGIN IMMEDIATE");
        other.Exec(
            "INSERT INTO info (classid, title, url, addtime) VALUES ('1', '别处的地铁', 'http://a.test/5', "
            "'')");
        EXPECT_EQ(db_.CatchUpSearchIndex(), 0);
        other.Exec("COMMIT");
    }
    EXPECT_EQ(Search("别处"), Titles{"别处的地铁"});
    EXPECT_EQ(db_.CatchUpSearchIndex(), 1);
    EXPECT_EQ(IndexMark(), std::to_string(NewestRow()) + "/1");
}

TEST_F(ArticleSearchTest, RowsOfAnotherProgramAreSearchedAndCaughtUpAfterwards) {
    Record("第一篇 Alpha", "http://a.test/1");
    Build();
    {
        RawSqlite raw(path_);  // a program that knows no index
        raw.Exec(
            "INSERT INTO info (classid, title, url, addtime) VALUES ('1', '第二篇 Alpha', 'http://a.test/2', "
            "'')");
    }
    Record("第三篇 Alpha", "http://a.test/3");
    EXPECT_EQ(IndexMark(), "1/1");
    EXPECT_EQ(Search("alpha"), (Titles{"第三篇 Alpha", "第二篇 Alpha", "第一篇 Alpha"}));
    EXPECT_EQ(db_.CatchUpSearchIndex(), 2);
    EXPECT_EQ(IndexMark(), "3/1");
    EXPECT_EQ(Search("alpha"), (Titles{"第三篇 Alpha", "第二篇 Alpha", "第一篇 Alpha"}));
    {
        RawSqlite raw(path_);
        EXPECT_EQ(raw.Column("SELECT count(*) FROM article_search WHERE article_search MATCH 'alpha'"),
                  Titles{"3"});
    }
}

TEST_F(ArticleSearchTest, IndexThatCannotTakeAnArticleLeavesItStored) {
    Record("第一篇", "http://a.test/1");
    Build();
    {
        // An index table that refuses every row.
        RawSqlite raw(path_);
        raw.Exec("DROP TABLE article_search; CREATE TABLE article_search (title, url, CHECK (0))");
    }
    const int64_t added = Record("第二篇", "http://a.test/2");
    EXPECT_EQ(added, 2);
    EXPECT_EQ(db_.CatchUpSearchIndex(), 0);
    EXPECT_EQ(IndexMark(), "1/1");  // the article stays above the mark
    RawSqlite raw(path_);
    EXPECT_EQ(raw.Column("SELECT plan_id FROM article_plan WHERE article = 2"), Titles{"1"});
}

TEST_F(ArticleSearchTest, BuildOnAnOldFileInChunksStopsAndGoesOn) {
    {
        RawSqlite raw(path_);
        raw.Exec("BEGIN");
        for (int i = 1; i <= 4500; ++i)
            raw.Exec("INSERT INTO info (classid, title, url, addtime) VALUES ('1', '旧文 " +
                     std::to_string(i) + "', 'http://a.test/" + std::to_string(i) + "', '')");
        raw.Exec("COMMIT");
    }
    std::vector<std::pair<int64_t, int64_t>> calls;
    std::string why;
    EXPECT_FALSE(BuildSearchIndex(
        path_,
        [&](int64_t done, int64_t total) {
            calls.emplace_back(done, total);
            return false;
        },
        why));
    EXPECT_FALSE(why.empty());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].second, 4500);
    EXPECT_GT(calls[0].first, 0);
    EXPECT_LT(calls[0].first, 4500);
    // Not ready yet: a search says so rather than give part of the answer.
    ArticleQuery query;
    query.words = "旧文 4499";
    Read(query, ArticleReadResult::kNoSearch);
    // Monitoring records meanwhile; the build goes on from where it stopped.
    Record("新文 4501", "http://a.test/new");
    EXPECT_EQ(db_.CatchUpSearchIndex(), 0);  // an index not ready yet is the build's to finish
    calls.clear();
    ASSERT_TRUE(BuildSearchIndex(
        path_,
        [&](int64_t done, int64_t total) {
            calls.emplace_back(done, total);
            return true;
        },
        why))
        << why;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(int64_t{4501}, int64_t{4501}));
    for (size_t i = 1; i < calls.size(); ++i) EXPECT_GE(calls[i].first, calls[i - 1].first);
    EXPECT_EQ(Search("旧文 4499"), Titles{"旧文 4499"});
    EXPECT_EQ(Search("4501"), Titles{"新文 4501"});
    // Built already: true at once.
    calls.clear();
    EXPECT_TRUE(BuildSearchIndex(path_, {}, why));
}

TEST_F(ArticleSearchTest, LockedFileIsNotIndexedAndStillRecords) {
    Record("第一篇", "http://a.test/1");
    std::string why;
    {
        RawSqlite other(path_);
        other.Exec("BEGIN IMMEDIATE");
        EXPECT_FALSE(BuildSearchIndex(path_, {}, why));
        EXPECT_EQ(why, "数据库正被其他程序占用，暂时无法建立搜索索引");
        other.Exec("ROLLBACK");
    }
    Record("第二篇", "http://a.test/2");
    EXPECT_EQ(NewestRow(), 2);
    EXPECT_FALSE(SetFavourite(dir_.File("none.db"), 1, true, why));
}

TEST_F(ArticleSearchTest, ReadOnlyFileIsNotIndexedAndSaysWhy) {
    Record("第一篇", "http://a.test/1");
    ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0555), 0);
    // Root may write any file: the checks then run in a child that gives up root for nobody.
    const bool as_root = geteuid() == 0;
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipe_ends[0]);
        std::string report;
        const passwd* nobody = getpwnam("nobody");
        if (as_root && (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) {
            report = "skip:cannot become nobody";
        } else if (access(path_.c_str(), R_OK) != 0) {
            report = "skip:nobody cannot read the temporary folder";
        } else {
            std::string why, favourite_why;
            const bool built = BuildSearchIndex(path_, {}, why);
            const bool kept = SetFavourite(path_, 1, true, favourite_why);
            ArticleQuery query;
            query.words = "第一";
            ArticleSnapshot out;
            ArticleReader reader(path_);
            const ArticleReadResult read = reader.Read(query, out);
            const std::string search_why = reader.LastReason();
            query.scan_without_index = true;
            const ArticleReadResult scanned = reader.Read(query, out);
            report = std::string(built ? "built" : "not built") + "|" + why + "|" +
                     (kept ? "kept" : "not kept") + "|" + favourite_why + "|" +
                     (read == ArticleReadResult::kNoSearch ? "no search" : "?") + "|" + search_why + "|" +
                     (scanned == ArticleReadResult::kOk ? out.articles.at(0).title : "?");
        }
        (void)!write(pipe_ends[1], report.data(), report.size());
        _exit(0);
    }
    close(pipe_ends[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<size_t>(n));
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    chmod(dir_.path().c_str(), 0755);
    chmod(path_.c_str(), 0644);
    if (report.rfind("skip:", 0) == 0) GTEST_SKIP() << report.substr(5);
    EXPECT_EQ(report,
              "not built|数据库文件只读，无法建立搜索索引|not kept|数据库文件只读，无法保存收藏|no search|"
              "数据库文件只读，无法建立搜索索引，不能搜索|第一篇");
    // The recording connection still records once the file may be written again.
    Record("第二篇", "http://a.test/2");
    EXPECT_EQ(NewestRow(), 2);
}

}  // namespace
}  // namespace marl
