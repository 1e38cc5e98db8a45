// New-article recording by several programs on one database file (the desktop program and a cron
// `marltips-cli pass` on the same folder), and by one that is killed in the middle of a plan.
// The other programs are forked children of this test, each with its own connection.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "monitor/record_article.h"
#include "store/database.h"
#include "store/plan_record.h"
#include "store/raw_sqlite.h"
#include "support/fake_clock.h"
#include "support/fake_monitor_ui.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

using Outcome = ArticleRecorder::Outcome;

std::string Link(int i) { return "news/" + std::to_string(i) + ".html"; }

PlanRecord RacePlan() {
    PlanRecord plan;
    plan.name = "race";
    plan.dom = "http://race.test/";
    return plan;
}

// A UI that tells the parent about every article it shows, one address per line, and can end its
// own process with SIGKILL right after the n-th one.
class ReportingUi : public test::FakeMonitorUi {
  public:
    ReportingUi(int fd, int kill_after) : fd_(fd), kill_after_(kill_after) {}
    void ShowArticle(const Text& title, const Text& address) override {
        FakeMonitorUi::ShowArticle(title, address);
        const std::string line = address + "\n";
        if (write(fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) _exit(3);
        if (++shown_ == kill_after_) raise(SIGKILL);
    }

  private:
    int fd_;
    int kill_after_;
    int shown_ = 0;
};

// Runs `body` in a child process whose standard output goes to a pipe. The child never returns
// into the test framework: it ends with _exit.
class Child {
  public:
    explicit Child(const std::function<int(int out_fd)>& body) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ < 0) throw std::runtime_error("fork");
        if (pid_ == 0) {
            close(out[0]);
            int code = 2;
            try {
                code = body(out[1]);
            } catch (...) {
            }
            _exit(code);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~Child() {
        if (!reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // True once the child has ended; its status then goes to `status`.
    bool Exited(int& status) {
        if (reaped_) return true;
        reaped_ = waitpid(pid_, &status, WNOHANG) == pid_;
        return reaped_;
    }

    // Reads everything the child writes, then its exit status.
    std::string Finish(int& status) {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = read(out_, buffer, sizeof buffer)) != 0;) {
            if (n < 0) {
                if (errno == EINTR) continue;
                break;
            }
            text.append(buffer, static_cast<size_t>(n));
        }
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return text;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool reaped_ = false;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

class RecordProcessesTest : public ::testing::Test {
  protected:
    void SetUp() override { test::CreateDatabaseFile(path_); }

    // Every stored address with the number of its rows.
    std::map<std::string, int> StoredCounts() {
        std::map<std::string, int> counts;
        test::RawSqlite raw(path_);
        for (const std::string& url : raw.Column("SELECT url FROM info")) ++counts[url];
        return counts;
    }

    test::TempDir dir_;
    std::string path_ = dir_.File("marltips.db");
};

// Two programs find the same new articles at the same moment: every article is shown by exactly one
// of them and stored exactly once.
TEST_F(RecordProcessesTest, TwoProgramsShowAndStoreEveryArticleOnce) {
    constexpr int kArticles = 150;
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        int start[2];
        ASSERT_EQ(pipe(start), 0);
        const auto recorder_process = [&](int out_fd) {
            close(start[1]);
            char go;
            if (read(start[0], &go, 1) < 0) return 4;  // both begin when the parent closes the pipe
            Database db;
            if (!db.Open(path_)) return 5;
            db.SetBusyTimeout(std::chrono::seconds(10));
            SharedPlanList plans;
            ReportingUi ui(out_fd, -1);
            test::FakeClock clock{2024, 3, 5, 7, 8, 9};
            const MonitorContext context{db, plans, ui, clock};
            const PlanRecord plan = RacePlan();
            // Passes until nothing was left unchecked, as the monitor would over time.
            for (bool again = true; again;) {
                again = false;
                ArticleRecorder recorder(context, plan, 1);
                for (int i = 0; i < kArticles; ++i) {
                    const Text link = Link(round * kArticles + i);
                    again = recorder.Record(link, "t") == Outcome::kLeft || again;
                }
            }
            return 0;
        };
        Child first(recorder_process);
        Child second(recorder_process);
        close(start[0]);
        close(start[1]);
        int status_first = 0, status_second = 0;
        std::vector<std::string> shown = Lines(first.Finish(status_first));
        const std::vector<std::string> shown_second = Lines(second.Finish(status_second));
        ASSERT_TRUE(WIFEXITED(status_first) && WEXITSTATUS(status_first) == 0) << status_first;
        ASSERT_TRUE(WIFEXITED(status_second) && WEXITSTATUS(status_second) == 0) << status_second;

        shown.insert(shown.end(), shown_second.begin(), shown_second.end());
        std::sort(shown.begin(), shown.end());
        std::vector<std::string> expected;
        for (int i = 0; i < kArticles; ++i)
            expected.push_back("http://race.test/" + Link(round * kArticles + i));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(shown, expected) << "round " << round;
    }
    const auto counts = StoredCounts();
    EXPECT_EQ(counts.size(), static_cast<size_t>(kArticles * kRounds));
    for (const auto& [url, count] : counts) EXPECT_EQ(count, 1) << url;
}

// A page far bigger than one chunk is recorded while another program saves a plan. Its save gets
// through within its usual busy time, both while the page's articles are new (the recording holds
// the write lock) and while they are all seen already (the looks' read lock keeps the save's commit
// out). Every article is still stored once.
TEST_F(RecordProcessesTest, AnotherProgramSavesWhileABigPageIsRecorded) {
    constexpr int kFirstPage = 2000;
    for (const bool seen : {false, true}) {
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        // Forked before this process opens the file: a child must not inherit an open connection.
        Child saver([&](int) {
            close(go[1]);
            Database other;
            if (!other.Open(path_)) return 5;
            char byte;
            if (read(go[0], &byte, 1) != 1) return 4;
            return other.ExecuteSql("INSERT INTO rule (name) VALUES ('saved')") ? 0 : 1;
        });
        close(go[0]);

        Database db;
        ASSERT_TRUE(db.Open(path_));
        SharedPlanList plans;
        test::FakeMonitorUi ui;
        test::FakeClock clock{2024, 3, 5, 7, 8, 9};
        const MonitorContext context{db, plans, ui, clock};
        const PlanRecord plan = RacePlan();
        ArticleRecorder recorder(context, plan, 1);
        // The first pass finds new links from 0 on, the second one the same links again.
        int next = 0;
        const auto link = [&] { return Link(seen ? next++ % kFirstPage : next++); };
        ASSERT_EQ(recorder.Record(link(), "t"), seen ? Outcome::kKnown : Outcome::kRecorded);
        ASSERT_EQ(write(go[1], "g", 1), 1);  // the file is held now
        int status = 0;
        while (!saver.Exited(status) || next < kFirstPage) recorder.Record(link(), "t");
        close(go[1]);
        recorder.Finish();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "seen " << seen << ": " << status;
        EXPECT_TRUE(ui.StatusLines().empty()) << "seen " << seen;
    }
    const auto counts = StoredCounts();
    for (const auto& [url, count] : counts) EXPECT_EQ(count, 1) << url;
    test::RawSqlite raw(path_);
    EXPECT_EQ(raw.Column("SELECT name FROM rule"), (std::vector<std::string>{"saved", "saved"}));
}

// A program killed in the middle of a plan's new articles: every stored row was shown first, the
// file is sound, and the next pass shows exactly the articles that did not reach the file.
TEST_F(RecordProcessesTest, KillInTheMiddleCostsOnlyArticlesShownAgain) {
    constexpr int kFirstPlan = 20;
    constexpr int kSecondPlan = 30;
    constexpr int kKillAt = kFirstPlan + 12;
    Child child([&](int out_fd) {
        Database db;
        if (!db.Open(path_)) return 5;
        SharedPlanList plans;
        ReportingUi ui(out_fd, kKillAt);
        test::FakeClock clock{2024, 3, 5, 7, 8, 9};
        const MonitorContext context{db, plans, ui, clock};
        const PlanRecord plan = RacePlan();
        {
            ArticleRecorder recorder(context, plan, 1);
            for (int i = 0; i < kFirstPlan; ++i) recorder.Record(Link(i), "first");
        }
        ArticleRecorder recorder(context, plan, 2);
        for (int i = kFirstPlan; i < kFirstPlan + kSecondPlan; ++i) recorder.Record(Link(i), "second");
        return 0;
    });
    int status = 0;
    const std::vector<std::string> shown_before = Lines(child.Finish(status));
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    ASSERT_EQ(shown_before.size(), static_cast<size_t>(kKillAt));

    Database db;
    ASSERT_TRUE(db.Open(path_));
    std::vector<std::vector<Text>> rows;
    ASSERT_EQ(db.QueryRows("PRAGMA integrity_check", rows), 1);
    EXPECT_EQ(rows[0][0], "ok");
    const auto stored = StoredCounts();
    EXPECT_GE(stored.size(), static_cast<size_t>(kFirstPlan));  // the finished plan is kept
    for (const auto& [url, count] : stored) {
        EXPECT_EQ(count, 1) << url;
        EXPECT_NE(std::find(shown_before.begin(), shown_before.end(), url), shown_before.end())
            << url << " was stored without being shown";
    }

    SharedPlanList plans;
    test::FakeMonitorUi ui;
    test::FakeClock clock{2024, 3, 5, 7, 8, 9};
    const MonitorContext context{db, plans, ui, clock};
    const PlanRecord plan = RacePlan();
    ArticleRecorder recorder(context, plan, 2);
    for (int i = 0; i < kFirstPlan + kSecondPlan; ++i) recorder.Record(Link(i), "again");
    recorder.Finish();
    EXPECT_EQ(ui.Rows().size() + stored.size(), static_cast<size_t>(kFirstPlan + kSecondPlan));
    for (const auto& row : ui.Rows()) EXPECT_EQ(stored.count(row.address), 0u) << row.address;
    EXPECT_EQ(StoredCounts().size(), static_cast<size_t>(kFirstPlan + kSecondPlan));
}

}  // namespace
}  // namespace marl
