#include "monitor/monitor_engine.h"

#include <exception>
#include <utility>

#include "text/text.h"

namespace marl {
namespace {

const Text& CaptionIdle() {
    static const Text caption = Gbk("监控");
    return caption;
}
const Text& CaptionRunning() {
    static const Text caption = Gbk("停止");
    return caption;
}
const Text& CaptionStopping() {
    static const Text caption = Gbk("正在停止");
    return caption;
}

}  // namespace

MonitorEngine::MonitorEngine(MonitorUi& ui, PlanProcessor process, std::unique_ptr<Pauser> pauser)
    : ui_(ui), process_(std::move(process)), pauser_(std::move(pauser)) {}

MonitorEngine::~MonitorEngine() {
    shutdown_ = true;
    stop_requested_ = true;
    pauser_->Interrupt();
    JoinWorker();
}

std::vector<int32_t> MonitorEngine::MonitoredList() const {
    std::lock_guard lock(mutex_);
    return monitored_;
}

void MonitorEngine::WaitForWorker() { JoinWorker(); }

void MonitorEngine::JoinWorker() {
    std::thread finished;
    {
        std::lock_guard lock(mutex_);
        if (!worker_.joinable() || worker_.get_id() == std::this_thread::get_id()) return;
        finished = std::move(worker_);
    }
    finished.join();
}

void MonitorEngine::ToggleMonitor(const std::vector<int32_t>& checked_positions) {
    ui_.SetStartEnabled(false);
    if (ui_.StartCaption() != CaptionIdle()) {
        // Stop request: the button stays disabled until the worker has ended.
        ui_.SetStartCaption(CaptionStopping());
        stop_requested_ = true;
        return;
    }

    ui_.SetStartCaption(CaptionRunning());
    if (checked_positions.empty()) {
        static const Text kNothingChecked = Gbk("请至少勾选一个被监控的网站");
        ui_.ShowMessage(kNothingChecked);
        ui_.SetStartCaption(CaptionIdle());
        ui_.SetStartEnabled(true);
        return;
    }
    if (worker_running_) {
        // The caption said idle while a worker still runs: never start a second one.
        ui_.SetStartEnabled(true);
        return;
    }
    // A worker that ended has already made its last UI call; collecting its thread is immediate.
    JoinWorker();

    bool started = true;
    {
        std::lock_guard lock(mutex_);
        monitored_ = checked_positions;
        stop_requested_ = false;
        worker_running_ = true;
        try {
            worker_ = std::thread(&MonitorEngine::MonitorWorker, this, monitored_);
        } catch (const std::exception&) {  // no thread (system_error) or no memory for one
            worker_running_ = false;
            started = false;
        }
    }
    if (!started) {
        static const Text kNoThread = Gbk("无法启动监控线程");
        ui_.ShowMessage(kNoThread);
        ui_.SetStartCaption(CaptionIdle());
    }
    ui_.SetStartEnabled(true);
}

void MonitorEngine::MonitorWorker(const std::vector<int32_t>& positions) {
    const auto shutting_down = [this] { return shutdown_.load(); };
    const auto stop = [this] { return stop_requested_.load() || shutdown_.load(); };
    try {
        while (RunPass(positions, process_, *pauser_, shutting_down)) {
            if (WaitBetweenPasses(ui_, *pauser_, stop)) break;
        }
    } catch (...) {
        // Only the UI port or the pauser can get here; the worker still ends in good order.
    }
    worker_running_ = false;
    // On shutdown the UI may already be gone (or waiting for this thread): leave it alone.
    if (shutdown_) return;
    ui_.SetStartCaption(CaptionIdle());
    ui_.SetStartEnabled(true);
}

}  // namespace marl
