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
    // The number of rows of "SELECT * FROM info where " + condition; 0 when the statement fails.
    int32_t CountArticlesWhere(const Text& condition);
    // Runs a query; `rows` receives every row, columns in select-list order, NULL and values
    // that have no GBK form as empty texts. Returns the row count; on failure 0 and no rows.
    int32_t QueryRows(const Text& statement, std::vector<std::vector<Text>>& rows);

    // Run between the 10 ms retries while a caller waits for the connection, so that a waiting
    // user-interface thread keeps handling its events. Only the thread that installs the hook
    // runs it (the worker just waits), and it never runs while the connection is held.
    void SetIdleHook(std::function<void()> hook);

    // How long a statement waits for a lock held by another program before it fails.
    static constexpr std::chrono::milliseconds kBusyTimeout{3000};
    void SetBusyTimeout(std::chrono::milliseconds timeout);

private:
    class Connection;
    std::unique_lock<std::timed_mutex> Acquire();

    std::timed_mutex mutex_;
    std::unique_ptr<Connection> connection_;  // guarded by mutex_
    std::atomic<bool> open_{false};
    std::chrono::milliseconds busy_timeout_{kBusyTimeout};

    mutable std::mutex hook_mutex_;
    std::function<void()> idle_hook_;
    std::thread::id hook_thread_;
};

}  // namespace marl
