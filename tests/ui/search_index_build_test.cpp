// The search index built at start-up on a thread of its own: its progress and end handed back to the
// window, a file it cannot build on, and a tear-down in the middle of the build.
#include "app/desktop/search_index_build.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <optional>
#include <string>

#include "app/desktop/desktop_app.h"
#include "store/raw_sqlite.h"
#include "store/search_index.h"
#include "support/temp_dir.h"
#include "ui/article_list.h"
#include "ui/main_window.h"
#include "ui/status_box.h"

namespace marl {
namespace {

constexpr int kWaitMs = 60000;

class SearchIndexBuildTest : public ::testing::Test {
  protected:
    std::string Db() const { return dir_.File("marltips.db"); }

    // A database of `count` articles titled "第N篇 通知" (N from 1).
    void CreateDatabase(int count) {
        test::CreateDatabaseFile(Db());
        test::RawSqlite db(Db());
        db.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                std::to_string(count) +
                ") INSERT INTO info (classid, title, url, addtime) SELECT '1', '第' || i || '篇 通知', "
                "'http://127.0.0.1/a/' || i, '2024-03-05 07:08:09' FROM n");
    }
    bool HasIndex() {
        sqlite3* db = nullptr;
        bool has = sqlite3_open_v2(Db().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
                   HasSearchIndex(db);
        sqlite3_close(db);
        return has;
    }
    DesktopApp& StartApp(int64_t progress_from) {
        DesktopOptions options;
        options.end_process = [](int) {};
        options.index_progress_from = progress_from;
        app_.emplace(dir_.path().string(), std::move(options));
        app_->Start();
        return *app_;
    }
    QString Status() { return app_->window().status_box()->WholeText(); }
    bool BuildEnded() { return app_->index_build() != nullptr && !app_->index_build()->running(); }

    test::TempDir dir_;
    std::optional<DesktopApp> app_;
};

TEST_F(SearchIndexBuildTest, StartUpBuildsTheIndexWithProgressAndTheSearchThenWorks) {
    CreateDatabase(3000);
    StartApp(1);
    ui::MainWindow& window = app_->window();
    // Searched while the index is still missing or being built: the page says so, or finds it all.
    window.search_box()->setText(QStringLiteral("通知"));
    window.Search();
    ASSERT_TRUE(QTest::qWaitFor([&] { return BuildEnded(); }, kWaitMs));
    EXPECT_TRUE(HasIndex());

    const QStringList lines = Status().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // The start line, then every tenth reached in order, then the end.
    QStringList build_lines;
    for (const QString& line : lines) {
        if (line.contains(QStringLiteral("搜索索引")))
            build_lines << line.mid(line.indexOf(QStringLiteral(" ] ")) + 3);
    }
    ASSERT_GE(build_lines.size(), 3) << Status().toStdString();
    EXPECT_EQ(build_lines.front(), SearchIndexStartText(3000));
    EXPECT_EQ(build_lines.back(), SearchIndexDoneText());
    int last = 0;
    for (int i = 1; i + 1 < build_lines.size(); ++i) {
        bool matched = false;
        for (int percent = last + 10; percent <= 100 && !matched; percent += 10) {
            if (build_lines[i] == SearchIndexProgressText(percent)) {
                matched = true;
                last = percent;
            }
        }
        EXPECT_TRUE(matched) << build_lines[i].toStdString();
    }
    EXPECT_EQ(last, 100);

    // The search made before the end was made again by the hand-back: the page shows the results,
    // and their number once counted.
    EXPECT_EQ(window.search_list()->topLevelItemCount(), ui::MainWindow::kPageRows);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window.search_count()->text() == QStringLiteral("找到 3000 篇"); }, kWaitMs))
        << window.search_count()->text().toStdString();

    // A file with its index is not built again, and says nothing.
    app_.reset();
    StartApp(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return BuildEnded(); }, kWaitMs));
    EXPECT_FALSE(Status().contains(QStringLiteral("搜索索引")));
}

TEST_F(SearchIndexBuildTest, SmallFileBuildsSilently) {
    CreateDatabase(50);
    StartApp(20000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return BuildEnded(); }, kWaitMs));
    EXPECT_TRUE(HasIndex());
    EXPECT_FALSE(Status().contains(QStringLiteral("搜索索引")));
}

TEST_F(SearchIndexBuildTest, LockedFileStillMonitorsAndTheSearchSaysWhy) {
    CreateDatabase(50);
    test::RawSqlite other(Db());
    other.Exec("BEGIN EXCLUSIVE");
    StartApp(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return BuildEnded(); }, kWaitMs));
    other.Exec("ROLLBACK");
    EXPECT_FALSE(HasIndex());
    EXPECT_TRUE(Status().contains(QStringLiteral("无法建立搜索索引："))) << Status().toStdString();
    // The program goes on: the database is open for monitoring, and the search says why it cannot.
    EXPECT_TRUE(app_->database().IsOpen());
    ui::MainWindow& window = app_->window();
    window.search_box()->setText(QStringLiteral("通知"));
    window.Search();
    EXPECT_EQ(window.search_list()->topLevelItemCount(), 0);
    EXPECT_TRUE(window.search_count()->text().startsWith(QStringLiteral("无法搜索：")))
        << window.search_count()->text().toStdString();
}

TEST_F(SearchIndexBuildTest, TearDownInTheMiddleOfTheBuildStopsItAndTheNextStartFinishesIt) {
    CreateDatabase(200000);
    StartApp(1);
    // Wait until the build has begun on the worker.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status().contains(SearchIndexStartText(200000)); }, kWaitMs));
    app_.reset();  // stops the build at its next chunk and waits for it: no hang, no call into a gone window
    StartApp(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return BuildEnded(); }, kWaitMs));
    EXPECT_TRUE(HasIndex());
    EXPECT_TRUE(Status().contains(SearchIndexDoneText()));
}

}  // namespace
}  // namespace marl
