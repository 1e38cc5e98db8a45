#include "store/database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "store/raw_sqlite.h"
#include "support/temp_dir.h"
#include "text/text.h"
#include "text/text_ops.h"

namespace marl {
namespace {

using test::RawSqlite;
using test::ReadFileBytes;
using Rows = std::vector<std::vector<Text>>;

class DatabaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("marltips.db");
        test::CreateDatabaseFile(path_);
        ASSERT_TRUE(db_.Open(path_));
    }

    test::TempDir dir_;
    std::string path_;
    Database db_;
};

TEST_F(DatabaseTest, ConvertsBetweenGbkAndTheUtf8File) {
    const Text title = Gbk("新文章：“引号”与€");
    ASSERT_TRUE(db_.ExecuteSql("INSERT INTO info (classid, title, url, addtime) VALUES ('1', '" + title +
                               "', 'http://a/1', '')"));
    RawSqlite raw(path_);
    EXPECT_EQ(raw.Column("SELECT title FROM info"), std::vector<std::string>{"新文章：“引号”与€"});

    Rows rows{{"stale"}};
    ASSERT_EQ(db_.QueryRows("SELECT url, title, addtime, classid FROM info", rows), 1);
    EXPECT_EQ(rows, (Rows{{"http://a/1", title, "", "1"}}));
    EXPECT_EQ(db_.CountArticlesWhere(Gbk("title='新文章：“引号”与€'")), 1);
}

TEST_F(DatabaseTest, UnreadableValuesReadAsEmptyText) {
    RawSqlite raw(path_);
    // NULL, bytes that are not UTF-8, a character GBK lacks, and text after a zero byte.
    raw.Exec("INSERT INTO info (classid, title, url, addtime) VALUES (NULL, NULL, 'u1', NULL)");
    raw.ExecBound("INSERT INTO info (classid, title, url) VALUES ('2', ?, 'u2')", {"\xC3\x28 broken"});
    raw.ExecBound("INSERT INTO info (classid, title, url) VALUES ('3', ?, 'u3')", {"emoji \xF0\x9F\x98\x80"});
    raw.ExecBound("INSERT INTO info (classid, title, url) VALUES ('4', ?, 'u4')", {std::string("ab\0cd", 5)});

    Rows rows;
    ASSERT_EQ(db_.QueryRows("SELECT classid, title, addtime FROM info ORDER BY url", rows), 4);
    EXPECT_EQ(rows, (Rows{{"", "", ""}, {"2", "", ""}, {"3", "", ""}, {"4", "ab", ""}}));
}

TEST_F(DatabaseTest, RunsOnlyTheFirstStatementOfAText) {
    EXPECT_TRUE(
        db_.ExecuteSql("INSERT INTO info (url) VALUES ('first'); INSERT INTO info (url) VALUES ('second');"));
    EXPECT_EQ(db_.CountArticlesWhere("1=1"), 1);
    // The tail of a condition cannot smuggle in a second statement either.
    EXPECT_EQ(db_.CountArticlesWhere("url='first'; DELETE FROM info"), 1);
    EXPECT_EQ(db_.CountArticlesWhere("url='first'"), 1);
}

TEST_F(DatabaseTest, ResultsOfEachOperation) {
    ASSERT_TRUE(db_.ExecuteSql("INSERT INTO rule (name) VALUES ('a')"));
    struct Case {
        const char* statement;
        bool execute_ok;
        int64_t inserted_id;  // what the inserting form reports
    };
    // The connection's last insert (rule row 1) is never taken for a later statement's.
    const Case cases[] = {
        {"UPDATE rule SET name='b' WHERE id=999", true, 0},  // no row changed is still success
        {"DELETE FROM rule WHERE id=999", true, 0},
        {"SELECT * FROM rule", true, 0},  // rows are stepped over
        {"INSERT INTO nowhere VALUES (1)", false, 0},
        {"this is not sql", false, 0},
        {"", false, 0},  // nothing to run
        {"   -- only a comment", false, 0},
        {"INSERT INTO rule (id, name) VALUES (40, 'c')", true, 40},
        {"INSERT INTO info (url) VALUES ('u')", true, 1},
    };
    for (const Case& c : cases) {
        int64_t inserted_id = -1;
        EXPECT_EQ(db_.ExecuteSql(c.statement, inserted_id), c.execute_ok) << c.statement;
        EXPECT_EQ(inserted_id, c.inserted_id) << c.statement;
    }
    for (const Case& c : cases) {
        if (std::string_view(c.statement).starts_with("INSERT") && c.execute_ok) continue;
        EXPECT_EQ(db_.ExecuteSql(c.statement), c.execute_ok) << c.statement;
    }

    Rows rows{{"left over"}};
    EXPECT_EQ(db_.QueryRows("SELECT name FROM nowhere", rows), 0);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(db_.QueryRows("SELECT name FROM rule WHERE id=999", rows), 0);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(db_.CountArticlesWhere("url='none'"), 0);
    EXPECT_EQ(db_.CountArticlesWhere("no_such_column=1"), 0);
}

TEST_F(DatabaseTest, StatementThatIsNotValidGbkFailsUnrun) {
    // A lone lead byte before the closing quote: converting it would change the statement.
    EXPECT_FALSE(db_.ExecuteSql("INSERT INTO info (url) VALUES ('a\x81')"));
    EXPECT_FALSE(db_.ExecuteSql("INSERT INTO info (url) VALUES ('a\x81\x7F')"));
    EXPECT_EQ(db_.CountArticlesWhere("url='\x81'"), 0);
    Rows rows;
    EXPECT_EQ(db_.QueryRows("SELECT url FROM info", rows), 0);
}

TEST_F(DatabaseTest, ClosedConnectionFailsEveryOperation) {
    db_.Close();
    EXPECT_FALSE(db_.IsOpen());
    Rows rows;
    EXPECT_FALSE(db_.ExecuteSql("INSERT INTO info (url) VALUES ('x')"));
    EXPECT_EQ(db_.CountArticlesWhere("1=1"), 0);
    EXPECT_EQ(db_.QueryRows("SELECT 1", rows), 0);
    Database never_opened;
    EXPECT_FALSE(never_opened.IsOpen());
    EXPECT_FALSE(never_opened.ExecuteSql("SELECT 1"));
}

TEST_F(DatabaseTest, TwoThreadsNeverLoseOrMixStatements) {
    ASSERT_TRUE(db_.ExecuteSql("PRAGMA synchronous=OFF"));
    constexpr int kRounds = 2000;
    std::atomic<int> mismatches{0};
    auto worker = [&](const std::string& tag) {
        for (int i = 0; i < kRounds; ++i) {
            const std::string url = tag + "-" + std::to_string(i);
            if (!db_.ExecuteSql("INSERT INTO info (classid, title, url) VALUES ('" + tag + "', 't" + url +
                                "', '" + url + "')")) {
                ++mismatches;
            }
            Rows rows;
            if (db_.QueryRows("SELECT classid, title FROM info WHERE url='" + url + "'", rows) != 1 ||
                rows != Rows{{tag, "t" + url}}) {
                ++mismatches;
            }
            if (db_.CountArticlesWhere("url='" + url + "'") != 1) ++mismatches;
        }
    };
    std::thread a(worker, "A");
    std::thread b(worker, "B");
    a.join();
    b.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(db_.CountArticlesWhere("classid='A'"), kRounds);
    EXPECT_EQ(db_.CountArticlesWhere("classid='B'"), kRounds);
}

TEST_F(DatabaseTest, StatementsFailPromptlyWhileAnotherProgramHoldsTheLock) {
    ASSERT_TRUE(db_.ExecuteSql("INSERT INTO info (url) VALUES ('kept')"));
    db_.SetBusyTimeout(std::chrono::milliseconds(100));
    const std::string before = ReadFileBytes(path_);
    {
        RawSqlite other(path_);
        other.Exec("BEGIN EXCLUSIVE");
        Rows rows;
        EXPECT_FALSE(db_.ExecuteSql("INSERT INTO info (url) VALUES ('blocked')"));
        EXPECT_EQ(db_.QueryRows("SELECT url FROM info", rows), 0);
        EXPECT_EQ(db_.CountArticlesWhere("url='kept'"), 0);
        // A locked file is still a database: opening it succeeds once the wait runs out.
        Database second;
        second.SetBusyTimeout(std::chrono::milliseconds(100));
        EXPECT_TRUE(second.Open(path_));
        EXPECT_FALSE(second.ExecuteSql("DELETE FROM info"));
        other.Exec("ROLLBACK");
        EXPECT_EQ(second.CountArticlesWhere("url='kept'"), 1);
    }
    EXPECT_EQ(ReadFileBytes(path_), before);
    EXPECT_EQ(db_.CountArticlesWhere("url='kept'"), 1);
    EXPECT_EQ(db_.CountArticlesWhere("url='blocked'"), 0);
}

TEST_F(DatabaseTest, ArticleCheckAnswersAsTheTextFormDoes) {
    const Text stored[] = {"http://a/1", "it's", Gbk("新闻"), "Case", "", "trail "};
    for (const Text& url : stored) {
        ASSERT_TRUE(db_.ExecuteSql("INSERT INTO info (classid, title, url, addtime) VALUES ('1', 't', " +
                                   SqlQuote(url) + ", '')"));
    }
    ASSERT_TRUE(db_.ExecuteSql("INSERT INTO info (classid) VALUES ('null url')"));
    const Text probes[] = {"http://a/1", "http://a/2", "it's",   "it''s", Gbk("新闻"), Gbk("新闻 "), "Case",
                           "case",       "",           "trail ", "trail", "%",         "' OR '1'='1"};
    for (const Text& probe : probes) {
        const bool seen = db_.CountArticlesWhere("url=" + SqlQuote(probe)) >= 1;
        EXPECT_EQ(db_.CheckArticle(probe), seen ? Database::Seen::kSeen : Database::Seen::kNew) << probe;
    }
    EXPECT_EQ(db_.CommitArticles(), 0);
}

TEST_F(DatabaseTest, StoredArticleIsNeverDoubledAndSurvivesClose) {
    ArticleRecord article{"3", "title", "http://a/x", ""};
    ASSERT_EQ(db_.CheckArticle(article.url), Database::Seen::kNew);
    EXPECT_TRUE(db_.StoreArticle(article));
    EXPECT_EQ(db_.CheckArticle(article.url), Database::Seen::kSeen);  // our own row, not yet committed
    EXPECT_TRUE(db_.StoreArticle(article));                           // runs, adds nothing
    db_.Close();                                                      // commits before it closes
    ASSERT_TRUE(db_.Open(path_));
    Rows rows;
    EXPECT_EQ(db_.QueryRows("SELECT classid, title, url, addtime FROM info", rows), 1);
    EXPECT_EQ(rows, (Rows{{"3", "title", "http://a/x", ""}}));
    EXPECT_EQ(db_.CommitArticles(), 0);
}

TEST_F(DatabaseTest, IdleHookRunsOnlyOnItsOwnThreadWhileWaiting) {
    db_.SetBusyTimeout(std::chrono::milliseconds(1500));
    std::set<std::thread::id> hook_threads;
    int hook_calls = 0;
    db_.SetIdleHook([&] {
        hook_threads.insert(std::this_thread::get_id());
        ++hook_calls;
    });
    RawSqlite other(path_);
    other.Exec("BEGIN EXCLUSIVE");
    // The holder waits on the other program's lock while it holds the connection.
    std::atomic<bool> holder_started{false};
    std::thread holder([&] {
        holder_started = true;
        db_.ExecuteSql("INSERT INTO info (url) VALUES ('holder')");
    });
    while (!holder_started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::thread second_waiter([&] { db_.CountArticlesWhere("1=1"); });
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.Exec("ROLLBACK");
    });
    db_.CountArticlesWhere("1=1");
    holder.join();
    second_waiter.join();
    releaser.join();
    EXPECT_GT(hook_calls, 0);
    EXPECT_EQ(hook_threads, std::set<std::thread::id>{std::this_thread::get_id()});
}

class DatabaseOpenTest : public ::testing::Test {
  protected:
    test::TempDir dir_;
};

TEST_F(DatabaseOpenTest, RefusesWhatIsNotAnExistingDatabaseAndLeavesItAlone) {
    Database db;
    const std::string missing = dir_.File("marltips.db");
    EXPECT_FALSE(db.Open(missing));
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_FALSE(db.Open(""));
    EXPECT_FALSE(db.Open(dir_.path().string()));  // a directory
    // A URI-looking path must not be able to ask for the file to be created.
    EXPECT_FALSE(db.Open("file:" + missing + "?mode=rwc"));
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_FALSE(db.IsOpen());

    const std::string text = dir_.File("notes.db");
    const std::string content = "[配置]\r\n频率=200\r\n" + std::string(4096, 'x');
    test::WriteFileBytes(text, content);
    EXPECT_FALSE(db.Open(text));
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(db.ExecuteSql("CREATE TABLE t (a)"));
    EXPECT_EQ(ReadFileBytes(text), content);
}

TEST_F(DatabaseOpenTest, OpeningAnotherFileClosesThePreviousOne) {
    const std::string first = dir_.File("first.db");
    test::CreateDatabaseFile(first);
    Database db;
    ASSERT_TRUE(db.Open(first));
    EXPECT_FALSE(db.Open(dir_.File("missing.db")));
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(db.ExecuteSql("INSERT INTO info (url) VALUES ('x')"));
}

// Runs `body` in a child process without root rights (file modes do not stop root), and
// returns the child's exit status.
int RunUnprivileged(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

TEST_F(DatabaseOpenTest, ReadOnlyFileReadsButNeverChanges) {
    const std::string path = dir_.File("marltips.db");
    test::CreateDatabaseFile(path);
    {
        RawSqlite raw(path);
        raw.Exec("INSERT INTO info (url) VALUES ('kept')");
    }
    ::chmod(dir_.path().c_str(), 0755);
    ::chmod(path.c_str(), 0444);
    const std::string before = ReadFileBytes(path);
    const int status = RunUnprivileged([&] {
        Database db;
        if (!db.Open(path)) return 1;
        if (db.CountArticlesWhere("url='kept'") != 1) return 2;
        if (db.ExecuteSql("INSERT INTO info (url) VALUES ('new')")) return 3;
        if (db.ExecuteSql("DELETE FROM info")) return 4;
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFileBytes(path), before);
}

}  // namespace
}  // namespace marl
