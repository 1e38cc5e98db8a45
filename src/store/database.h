#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "store/plan_record.h"
#include "text/text.h"

struct sqlite3;

namespace marl {

// The one connection to marltips.db that the desktop program and the monitor worker share.
// Statement texts come in as GBK and result values go out as GBK; the file holds UTF-8.
// Only the first statement of a text runs. Every operation prepares, runs and finalizes its
// own statement while holding the connection exclusively; failures are results (false or 0),
// never exceptions, and nothing is kept open between operations.
class Database {
  public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing database file for reading and writing; never creates one. False when the
    // file is missing, cannot be opened or is not an SQLite database. Closes a previous connection.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const;

    // Runs a statement that returns no rows. True when it was prepared and ran to its end, also
    // when it changed nothing.
    bool ExecuteSql(const Text& statement);
    // The same for an INSERT: `inserted_id` receives the new row's id, read under the same hold of
    // the connection, so no other thread's insert can come in between; 0 when the statement changed
    // no row.
    bool ExecuteSql(const Text& statement, int64_t& inserted_id);
    // The number of rows of "SELECT * FROM info where " + condition; 0 when the statement fails.
    int32_t CountArticlesWhere(const Text& condition);
    // Runs a query; `rows` receives every row, columns in select-list order, NULL and values
    // that have no GBK form as empty texts. Returns the row count; on failure 0 and no rows.
    int32_t QueryRows(const Text& statement, std::vector<std::vector<Text>>& rows);
    // The same; `failed` tells a statement that did not run to its end from one without rows.
    int32_t QueryRows(const Text& statement, std::vector<std::vector<Text>>& rows, bool& failed);

    // New-article recording, safe against another program (a second marltips or a cron
    // `marltips-cli pass`) recording into the same file at the same time.
    //
    // CheckArticle answers whether `info` holds a row whose url equals `address`: the answer of
    // CountArticlesWhere("url='...'") >= 1, from a statement prepared once per connection with the
    // address bound. Its looks share one read transaction until the next write or commit. Before it
    // answers kNew it takes the file's write lock and looks again, and it keeps that lock: nobody
    // else can store the address before StoreArticle does. kUnknown when the question cannot be
    // answered (no connection, another program holding the file past the busy time, an I/O error):
    // the caller must then neither show nor store the article. When the file cannot be written at
    // all (read-only), the unlocked look stands, since no row can come from us anyway.
    //
    // StoreArticle inserts the row unless a row with its url exists by then, inside the write
    // transaction (taken again if it has been given up meanwhile). False when it could not run.
    //
    // CommitArticles commits and gives up the locks the recording calls keep. It returns how many
    // stored articles did not make it into the file (a failed commit rolls back): those come back
    // as new next time. Every other operation, Close and the destructor commit first, so that a
    // statement of another thread never ends up inside the recording transaction.
    //
    // RollbackArticles takes back every article stored since the last commit and gives up the
    // locks, for a caller whose showing of those articles failed: they are new again next time.
    // It returns how many were taken back.
    //
    // Which articles reached the file: StoreArticle gives every row it adds a number in `added`
    // (counting up on this connection, never used twice; 0 when it added none). CommitArticles and
    // RollbackArticles hand over in `committed` the numbers of every row committed since either of
    // them was last called, in ascending order, also those that another operation's commit took
    // into the file in between; a number missing from it was rolled back.
    //
    // Values go to the file as UTF-8; one that is not valid GBK goes as its bytes unchanged, the
    // same for the look and the insert, so such an address is still found again.
    enum class Seen { kSeen, kNew, kUnknown };
    Seen CheckArticle(const Text& address);
    bool StoreArticle(const ArticleRecord& article, uint64_t* added = nullptr);
    // Keeps the id of the plan that found the article the last StoreArticle added, in table
    // article_plan (created with the first one) and in the same write transaction, so the
    // article and its plan reach the file together or not at all. False when StoreArticle added
    // no row just before, or the table cannot be written; the article itself stays stored.
    bool StoreArticlePlan(int32_t plan_id);
    int32_t CommitArticles(std::vector<uint64_t>* committed = nullptr);
    int32_t RollbackArticles(std::vector<uint64_t>* committed = nullptr);

    // The search index (when the file has a ready one) takes the articles recorded since it was
    // last brought up to date, by this program or any other, in short write transactions of their
    // own after the recording's commit: recording never waits for the index, and searches read
    // the rows the index does not reach yet directly. At most about `at_most` rows per call, so a
    // long lag is made up over several calls. Gives way at once to another program that holds the
    // file; does nothing for a file without a ready index (its build comes first) or one that
    // cannot be written. Returns the rows taken into the index.
    int64_t CatchUpSearchIndex(int64_t at_most = 20000);

    // Run between the 10 ms retries while a caller waits for the connection, so that a waiting
    // user-interface thread keeps handling its events. Only the thread that installs the hook
    // runs it (the worker just waits), and it never runs while the connection is held.
    void SetIdleHook(std::function<void()> hook);

    // How long a statement waits for a lock held by another program before it fails. It tries
    // again every few milliseconds meanwhile, so a recorder that lets go of the file between its
    // chunks for a moment (ArticleRecorder) lets it in.
    static constexpr std::chrono::milliseconds kBusyTimeout{3000};
    void SetBusyTimeout(std::chrono::milliseconds timeout);

  private:
    class Connection;
    std::unique_lock<std::timed_mutex> Acquire();
    // Acquire, then commit an open recording transaction (every operation but the recording ones).
    std::unique_lock<std::timed_mutex> AcquireOutsideRecording();

    std::timed_mutex mutex_;
    std::unique_ptr<Connection> connection_;  // guarded by mutex_
    std::atomic<bool> open_{false};
    std::chrono::milliseconds busy_timeout_{kBusyTimeout};

    mutable std::mutex hook_mutex_;
    std::function<void()> idle_hook_;
    std::thread::id hook_thread_;
};

}  // namespace marl
