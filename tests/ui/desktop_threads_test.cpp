// The desktop program's two threads meeting: the exit never waits for the worker, and a UI-thread
// statement that waits for the database keeps serving the worker's calls.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "app/desktop/desktop_app.h"
#include "app/desktop/search_index_build.h"
#include "store/raw_sqlite.h"
#include "support/gui/message_box_recorder.h"
#include "support/plan_rows.h"
#include "support/raw_http_server.h"
#include "support/temp_dir.h"
#include "text/gbk_codec.h"
#include "ui/main_window.h"
#include "ui/qt_monitor_ui.h"
#include "ui/status_box.h"

namespace marl {
namespace {

using namespace std::chrono_literals;

constexpr char kDirVariable[] = "MARL_EXIT_TEST_DIR";

// Runs in the death test's child: the program in `dir` monitors a site that takes the request and
// never answers; once the worker is inside that fetch, the user confirms the exit.
void ExitWhileTheWorkerWaitsForASilentSite(const std::string& dir) {
    // An exit that waits for the worker would wait for ever: end the child with another code then.
    std::thread([] {
        std::this_thread::sleep_for(25s);
        std::_Exit(6);
    }).detach();
    test::RawHttpServer silent([](const test::RawRequest&, test::RawReply& reply) { reply.Pause(1h); });
    test::CreateDatabaseFile(dir + "/marltips.db");
    {
        Database db;
        if (!db.Open(dir + "/marltips.db") || !test::InsertPlanRow(db, 1, "silent", silent.Url("/list"))) {
            std::_Exit(3);
        }
    }
    test::WriteFileBytes(dir + "/marltips.ini", Gbk("[配置]\r\n自动勾选=0,1,\r\n"));

    DesktopApp app(dir);  // the real exit
    test::MessageBoxRecorder boxes({ui::MessageAnswer::kOk});
    app.Start();
    QTest::mouseClick(app.window().start_button(), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return silent.RequestCount() >= 1; }, 20000)) std::_Exit(4);
    app.window().close();  // the question is answered OK: the process ends here
    std::_Exit(5);
}

TEST(DesktopExitDeathTest, ConfirmedExitEndsAtOnceWhileTheWorkerIsInAFetch) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child process runs this test again from the top: it finds the directory in the environment.
    const char* inherited = std::getenv(kDirVariable);
    std::optional<test::TempDir> own;
    std::string dir;
    if (inherited) {
        dir = inherited;
    } else {
        own.emplace();
        dir = own->path().string();
        setenv(kDirVariable, dir.c_str(), 1);
    }
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EXIT(ExitWhileTheWorkerWaitsForASilentSite(dir), ::testing::ExitedWithCode(0), "");
    const auto took = std::chrono::steady_clock::now() - started;
    unsetenv(kDirVariable);
    // The fetch would give up only after a minute of silence; the whole child run is far quicker.
    EXPECT_LT(took, 30s);
    EXPECT_EQ(*GbkToUtf8Strict(test::ReadFileBytes(dir + "/marltips.ini")),
              "[配置]\r\n自动勾选=0,1,\r\n频率=200\r\n");
}

// While the UI thread waits for the database lock, held by another thread's statement, a worker's
// hand-off to the UI thread is still served: the two cannot lock each other up.
TEST(DesktopDatabaseWait, UiThreadWaitingForTheLockServesWorkerCalls) {
    test::TempDir dir;
    test::CreateDatabaseFile(dir.File("marltips.db"));
    DesktopApp app(dir.path().string(), DesktopOptions{[](int) {}});
    app.StartUp();
    // Start-up builds the search index on a thread of its own, holding the file's write lock for a
    // moment: the other program below takes the lock only after that.
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.index_build() != nullptr && !app.index_build()->running(); },
                                30000));
    Database& db = app.database();
    db.SetBusyTimeout(10s);
    ui::QtMonitorUi port(app.window());
    test::RawSqlite other_program(dir.File("marltips.db"));

    bool served_while_waiting = false;
    // The UI thread may win the race for the lock now and then; then it is not waiting and the attempt
    // proves nothing either way, so it is repeated.
    for (int attempt = 0; attempt < 3 && !served_while_waiting; ++attempt) {
        app.window().status_box()->SetWholeText(QString());
        other_program.Exec("BEGIN EXCLUSIVE");
        std::atomic<bool> holder_started{false}, ui_waiting{false}, handed_off{false};
        // Holds the connection: its insert waits for the other program's lock.
        std::thread holder([&] {
            holder_started = true;
            db.ExecuteSql("INSERT INTO info (url) VALUES ('x')");
        });
        // A worker's call to the UI; when it has been served the other program lets go.
        std::thread worker([&] {
            while (!ui_waiting) std::this_thread::sleep_for(1ms);
            port.AppendStatus("[ t ] served\r\n");
            handed_off = true;
            other_program.Exec("ROLLBACK");
        });
        while (!holder_started) std::this_thread::yield();
        QThread::msleep(100);  // let the holder take the lock first
        ui_waiting = true;
        db.CountArticlesWhere("1=1");
        served_while_waiting = app.window().status_box()->WholeText() == QStringLiteral("[ t ] served\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return handed_off.load(); }, 30000));
        worker.join();
        holder.join();
    }
    EXPECT_TRUE(served_while_waiting);
}

}  // namespace
}  // namespace marl
