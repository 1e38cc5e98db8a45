#include "app/desktop/desktop_app.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>

#include "app/desktop/search_index_build.h"
#include "monitor/process_plan.h"
#include "monitor/status_log.h"
#include "plans/tree_settings.h"
#include "ui/command_dialog.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/notification_popup.h"
#include "ui/plans/plan_editor_widget.h"
#include "ui/plans/plan_tree_widget.h"
#include "ui/qt_monitor_ui.h"
#include "ui/qt_text.h"
#include "ui/window_chrome.h"

namespace marl {
namespace {

std::string InDirectory(const std::string& directory, const char* name) {
    return (std::filesystem::path(directory) / name).string();
}

}  // namespace

const char* MissingDatabaseText() {
    return "数据库文件 marltips.db 缺失，无法工作！ \r\nError：Database file ‘marltips.db’ missing"
           "\r\n\r\n\r\n"
           "请在程序目录运行 marltips-cli init 创建数据库，或重新安装完整版本。"
           "(Run marltips-cli init to create it, or reinstall marltips.)";
}

DesktopApp::DesktopApp(const std::string& data_directory, DesktopOptions options)
    : database_path_(InDirectory(data_directory, "marltips.db")),
      end_process_(options.end_process ? std::move(options.end_process) : [](int code) { std::_Exit(code); }),
      settings_(InDirectory(data_directory, "marltips.ini")),
      store_(db_, plans_),
      window_(std::make_unique<ui::MainWindow>()),
      limits_(options.limits),
      index_progress_from_(options.index_progress_from) {
    // A UI-thread statement that waits for the worker's statement keeps the window painted and keeps
    // serving the worker's calls. User input waits until the statement has run, so no click can start
    // another statement (or a reload) in the middle of this one.
    db_.SetIdleHook([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });

    ui_ = std::make_unique<ui::QtMonitorUi>(*window_);
    ui_->SetPlans(&plans_);
    command_ = std::make_unique<feeds::ReplaceableCommand>();
    command_->SetCommand(feeds::StoredNewArticleCommand(settings_), CommandReport());
    context_ = std::make_unique<MonitorContext>(
        MonitorContext{db_, plans_, *ui_, clock_, options.limits, command_.get()});
    engine_ = std::make_unique<MonitorEngine>(
        *ui_, [context = context_.get()](int32_t position) { ProcessPlan(*context, position); });

    window_->plan_tree()->Bind(&store_, &plans_, &settings_, window_->frequency_box());
    window_->plan_tree()->SetOpenPlanEditor([this](int position) { OpenPlanEditor(position); });
    window_->SetCloseRequestHandler([this] { return ConfirmExit(); });
    window_->SetCommandSettingsHandler([this] { OpenCommandDialog(); });
    QObject::connect(window_->start_button(), &QPushButton::clicked, window_.get(),
                     [this] { ToggleMonitor(); });
}

DesktopApp::~DesktopApp() {
    // A build still going on stops at its next chunk; what it has done stays for the next start.
    index_build_.reset();
    ui_->Detach();
    // The engine's destructor waits for the worker, which may be inside a call to this thread: keep
    // serving events here until it is gone. The stopper hands back through a standard atomic and only
    // wakes this thread's event dispatcher (thread-safe, and it leaves no object behind for this
    // thread to run or free), so the hand-over is one ThreadSanitizer sees, and nothing polls.
    std::atomic<bool> stopped{false};
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    std::thread stopper([this, &stopped, dispatcher] {
        engine_.reset();
        stopped.store(true, std::memory_order_release);
        if (dispatcher) dispatcher->wakeUp();
    });
    // A wake-up that comes before the wait is kept by the dispatcher: the next wait returns at once.
    while (!stopped.load(std::memory_order_acquire)) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    stopper.join();
    // Its threads may be reporting to the (detached) port: they return at once now.
    command_.reset();
    db_.SetIdleHook({});
}

feeds::CommandRunner::Report DesktopApp::CommandReport() {
    return [this](const Text& message) { StatusLog(*ui_, clock_, message); };
}

bool DesktopApp::SetNewArticleCommand(const std::string& command) {
    if (!feeds::StoreNewArticleCommand(settings_, command)) return false;
    command_->SetCommand(command, CommandReport());
    return true;
}

void DesktopApp::OpenCommandDialog() {
    ui::CommandDialog dialog(QString::fromStdString(command_->command()), window_.get());
    if (dialog.exec() != QDialog::Accepted) return;
    if (!SetNewArticleCommand(dialog.command().toStdString())) {
        ui::ShowMessageBox(window_.get(), QStringLiteral("新文章命令未能保存到 marltips.ini"));
    }
}

void DesktopApp::Start() {
    window_->CentreOnScreen();
    window_->show();
    // The plans are what the user works with first; a text box with the focus would also keep a
    // caret blinking (and the program awake) for as long as the window is open.
    window_->plan_tree()->setFocus();
    StartUp();
}

void DesktopApp::StartUp() {
    std::error_code ec;
    if (!std::filesystem::exists(database_path_, ec)) {
        ui::ShowMessageBox(
            window_.get(),
            ui::MessageRequest{QString::fromUtf8(MissingDatabaseText()), QStringLiteral("启动失败"),
                               ui::MessageIcon::kError, ui::MessageButtons::kOk});
    } else if (!db_.Open(database_path_)) {
        ui::ShowMessageBox(window_.get(), QStringLiteral("数据库打开失败！"));
    }
    // 查询 and 收藏 read the file on connections of their own; they say so when they cannot.
    window_->SetArticleDatabase(database_path_, &plans_);
    if (db_.IsOpen()) StartSearchIndexBuild();

    window_->plan_tree()->ReloadPlanTree();

    ui::AttachWindowShadow(window_.get(), 0x00C0C0C0, 2);
    const QScreen* screen = window_->screen();
    const QSize screen_size =
        screen ? screen->geometry().size() : QSize(ui::MainWindow::kWidth, ui::MainWindow::kHeight);
    ui::AttachSizeLimit(window_.get(), ui::MainWindow::kWidth, ui::MainWindow::kHeight, screen_size.width(),
                        screen_size.height());

    if (!popup_) {
        popup_ = std::make_unique<ui::NotificationPopup>();
        ui_->SetPopup(popup_.get());
    }
}

void DesktopApp::StartSearchIndexBuild() {
    if (index_build_) return;
    ui::MainWindow* window = window_.get();
    SearchIndexBuild::Report report;
    report.status = [window](const QString& message) { window->AppendStatusLine(message); };
    report.progress = [window](int percent) { window->SetSearchIndexNote(SearchIndexBuildingNote(percent)); };
    report.finished = [window](bool) {
        window->SetSearchIndexNote(QString());
        // A search made while the index was missing is made again, where the user is looking at it.
        if (window->tabs()->currentIndex() == 1 && !window->search_box()->text().trimmed().isEmpty())
            window->Search();
    };
    index_build_ =
        std::make_unique<SearchIndexBuild>(database_path_, index_progress_from_, std::move(report));
}

bool DesktopApp::ConfirmExit() {
    // A second close request while the question is up is the same request.
    if (confirming_exit_) return false;
    confirming_exit_ = true;
    const ui::MessageAnswer answer = ui::ShowMessageBox(
        window_.get(), ui::MessageRequest{QStringLiteral("退出软件 ？"), QStringLiteral("是否退出"),
                                          ui::MessageIcon::kNone, ui::MessageButtons::kOkCancel});
    confirming_exit_ = false;
    if (answer != ui::MessageAnswer::kOk) return false;
    SaveSettings();
    // The worker is neither told nor waited for: whatever it is doing, the process ends now, and
    // SQLite's journal keeps the database whole.
    end_process_(0);
    return true;
}

void DesktopApp::SaveSettings() {
    marl::SaveSettings(settings_, ui::FromQString(window_->frequency_box()->text()),
                       window_->plan_tree()->CheckedIds());
}

void DesktopApp::OpenPlanEditor(int position) {
    if (!editor_) {
        // A window of its own, owned by nobody: the main window stays usable while it is open.
        // A save rebuilds the tree from the store but keeps the user's check marks and frequency.
        editor_ = std::make_unique<ui::PlanEditorWidget>(store_, plans_,
                                                         [this] { window_->plan_tree()->RefreshPlans(); });
        editor_->SetTestLimits(limits_);
    }
    editor_->OpenPlanEditor(position);
}

void DesktopApp::ToggleMonitor() { engine_->ToggleMonitor(window_->plan_tree()->CheckedPositions()); }

}  // namespace marl
