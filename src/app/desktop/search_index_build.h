#pragma once
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace marl {

namespace ui {
class CallReceiver;
class ReturnPath;
}  // namespace ui

// Builds the search index of marltips.db once, on a thread of its own, while the window and the
// monitor go on. Everything it reports reaches the UI thread as a posted call. A file with a
// complete index is done at once; a large one says how far it has got every tenth of the way.
class SearchIndexBuild {
  public:
    // Called on the UI thread.
    struct Report {
        // A status line (without stamp).
        std::function<void(const QString& message)> status;
        // How far the build has got, in multiples of 10 (0: it has begun).
        std::function<void(int percent)> progress;
        // The build has ended: `built` when the index is complete.
        std::function<void(bool built)> finished;
    };

    // Starts the build of the index of the database at `path`. Progress is reported only for a file
    // of at least `progress_from` articles; the end only when progress was reported or it failed.
    SearchIndexBuild(const std::string& path, int64_t progress_from, Report report);
    // Stops the build at its next chunk (what is done stays for the next start) and waits for it;
    // nothing is reported after it has begun.
    ~SearchIndexBuild();
    SearchIndexBuild(const SearchIndexBuild&) = delete;
    SearchIndexBuild& operator=(const SearchIndexBuild&) = delete;

    // Whether the build is still going on (UI thread: until its end has been handed back).
    bool running() const { return running_; }

  private:
    void Run(const std::string& path, int64_t progress_from);

    Report report_;
    std::unique_ptr<ui::CallReceiver> receiver_;
    std::shared_ptr<ui::ReturnPath> back_;
    std::atomic<bool> stop_{false};
    bool running_ = true;  // UI thread only
    std::thread thread_;
};

// The status lines of the build, for a file of `total` articles.
QString SearchIndexStartText(int64_t total);
QString SearchIndexProgressText(int percent);
QString SearchIndexDoneText();
QString SearchIndexFailedText(const std::string& why);
// What the 查询 page says while the index is being built.
QString SearchIndexBuildingNote(int percent);

}  // namespace marl
