#pragma once
#include <functional>
#include <memory>
#include <string>

#include "feeds/command_setting.h"
#include "monitor/clock.h"
#include "monitor/monitor_context.h"
#include "monitor/monitor_engine.h"
#include "monitor/settings_file.h"
#include "store/database.h"
#include "store/plan_record.h"
#include "store/plan_store.h"
#include "web/http_request.h"

namespace marl {

namespace ui {
class MainWindow;
class NotificationPopup;
class PlanEditorWidget;
class QtMonitorUi;
}  // namespace ui

class SearchIndexBuild;

struct DesktopOptions {
    // Ends the process after a confirmed exit. The program ends at once, without waiting for the
    // monitor worker or taking anything down; tests replace it to watch the exit from outside.
    std::function<void(int code)> end_process;
    HttpLimits limits{};
    // The search index is built at start-up when the file has none; from this many articles on, its
    // progress is shown in the status box.
    int64_t index_progress_from = 20000;
};

// The desktop program's composition root: the database connection, the plan list, the settings
// file, the main window, the popup, the UI port and the monitor engine, wired together. Lives on the
// UI thread for the whole run.
class DesktopApp {
  public:
    // `data_directory` holds marltips.db and marltips.ini (DataDirectory() for the program).
    explicit DesktopApp(const std::string& data_directory, DesktopOptions options = {});
    // Only tests get here (a confirmed exit ends the process first): stops the worker while the UI
    // thread keeps serving its calls, then takes the windows down.
    ~DesktopApp();
    DesktopApp(const DesktopApp&) = delete;
    DesktopApp& operator=(const DesktopApp&) = delete;

    // Shows the main window centred on the screen and runs StartUp.
    void Start();
    // The database, the plan tree, the chrome and the hidden popup, in this order. Never ends the
    // program: a missing or broken database leaves the window running with what could be loaded.
    void StartUp();
    // Asks "退出软件 ？"; on OK writes the settings and ends the process. False when the close is
    // refused (Cancel, or the box closed).
    bool ConfirmExit();
    // Writes the frequency box's text and the checked plans' ids to marltips.ini.
    void SaveSettings();
    // The start button's click.
    void ToggleMonitor();
    // The plan menu's 新建 (position 0) and 修改: fills and shows the one plan editor, made on first use.
    void OpenPlanEditor(int position);
    // The settings menu's 新文章命令: the command dialog, modal; 确定 stores the command in
    // marltips.ini and monitoring uses it from the next new article on.
    void OpenCommandDialog();
    // Stores `command` (UTF-8; empty: none) and puts it to work. False when it could not be stored.
    bool SetNewArticleCommand(const std::string& command);
    const feeds::ReplaceableCommand& new_article_command() const { return *command_; }

    ui::MainWindow& window() { return *window_; }
    ui::NotificationPopup* popup() { return popup_.get(); }
    ui::PlanEditorWidget* plan_editor() { return editor_.get(); }  // null until first opened
    // The start-up build of the search index; null when none was started (no database).
    const SearchIndexBuild* index_build() const { return index_build_.get(); }
    MonitorEngine& engine() { return *engine_; }
    Database& database() { return db_; }
    SharedPlanList& plans() { return plans_; }
    PlanStore& store() { return store_; }
    const SettingsFile& settings() const { return settings_; }
    const std::string& database_path() const { return database_path_; }

  private:
    feeds::CommandRunner::Report CommandReport();
    void StartSearchIndexBuild();

    std::string database_path_;
    std::function<void(int)> end_process_;
    Database db_;
    SharedPlanList plans_;
    SettingsFile settings_;
    PlanStore store_;
    SystemClock clock_;
    std::unique_ptr<ui::MainWindow> window_;
    std::unique_ptr<ui::NotificationPopup> popup_;
    std::unique_ptr<ui::QtMonitorUi> ui_;
    // The command for new articles; its reports go to ui_, so it ends after ui_ is detached.
    std::unique_ptr<feeds::ReplaceableCommand> command_;
    std::unique_ptr<MonitorContext> context_;
    std::unique_ptr<MonitorEngine> engine_;
    bool confirming_exit_ = false;
    HttpLimits limits_;
    int64_t index_progress_from_;
    // Reports to the window, so it ends before the window goes.
    std::unique_ptr<SearchIndexBuild> index_build_;
    // Last, so that it goes first: it refers to the store, the plan list and the plan tree.
    std::unique_ptr<ui::PlanEditorWidget> editor_;
};

// The text of the box shown when marltips.db is missing, last line included.
const char* MissingDatabaseText();

}  // namespace marl
