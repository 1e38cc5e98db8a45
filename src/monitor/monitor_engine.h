#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "monitor/monitor_pass.h"
#include "monitor/monitor_ui.h"
#include "monitor/pauser.h"

namespace marl {

// Starts and stops the monitoring passes behind the start button. ToggleMonitor runs on the UI
// thread; the passes run on one worker thread that talks to the controls only through the UI port.
class MonitorEngine {
  public:
    MonitorEngine(MonitorUi& ui, PlanProcessor process,
                  std::unique_ptr<Pauser> pauser = std::make_unique<RealPauser>());
    // Ends a running worker: waits are cut short, the plan in hand is finished, no further pass runs.
    ~MonitorEngine();
    MonitorEngine(const MonitorEngine&) = delete;
    MonitorEngine& operator=(const MonitorEngine&) = delete;

    // The start button's click. `checked_positions`: the plan tree's checked positions in tree
    // order, taken as the monitored list when this click starts monitoring.
    void ToggleMonitor(const std::vector<int32_t>& checked_positions);

    bool StopRequested() const { return stop_requested_.load(); }
    bool WorkerRunning() const { return worker_running_.load(); }
    // The positions the current (or last) worker walks.
    std::vector<int32_t> MonitoredList() const;

    // Blocks until the worker thread has ended (none running: returns at once). Not from the worker.
    void WaitForWorker();

  private:
    // `positions` is the thread's own copy, made when the worker starts.
    void MonitorWorker(const std::vector<int32_t>& positions);
    void JoinWorker();

    MonitorUi& ui_;
    PlanProcessor process_;
    std::unique_ptr<Pauser> pauser_;
    std::atomic<bool> stop_requested_{false};
    std::atomic<bool> worker_running_{false};
    std::atomic<bool> shutdown_{false};
    mutable std::mutex mutex_;  // guards monitored_ and worker_
    std::vector<int32_t> monitored_;
    std::thread worker_;
};

}  // namespace marl
