#include "monitor/monitor_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "monitor/monitor_pass.h"
#include "support/fake_clock.h"
#include "support/fake_monitor_ui.h"
#include "text/text.h"

namespace marl {
namespace {

using std::chrono::milliseconds;
using test::FakeMonitorUi;
using test::RecordingPauser;

const milliseconds kPlan{800};
const milliseconds kStep{2000};

// Positions handed to the plan processor, from whichever thread.
class ProcessLog {
  public:
    void Add(int32_t position) {
        std::lock_guard lock(mutex_);
        positions_.push_back(position);
    }
    std::vector<int32_t> Positions() const {
        std::lock_guard lock(mutex_);
        return positions_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<int32_t> positions_;
};

TEST(WaitBetweenPasses, StepsFollowTheFrequencyText) {
    struct Case {
        const char* frequency;  // UTF-8, converted to GBK
        size_t steps;
    };
    const Case cases[] = {
        {"200", 100}, {"201", 101}, {"7", 4},   {"8", 4},   {"1", 1},    {"2", 1},    {"3", 2},
        {"0", 1},     {"", 1},      {"abc", 1}, {"-30", 1}, {" 12s", 6}, {"１０", 5}, {"＋６", 3},
    };
    for (const Case& c : cases) {
        FakeMonitorUi ui;
        ui.SetFrequency(Gbk(c.frequency));
        RecordingPauser pauser;
        EXPECT_FALSE(WaitBetweenPasses(ui, pauser, [] { return false; }));
        const auto pauses = pauser.Pauses();
        EXPECT_EQ(pauses.size(), c.steps) << "frequency " << c.frequency;
        for (const auto pause : pauses) EXPECT_EQ(pause, kStep);
        // The box is read afresh after every step.
        EXPECT_EQ(static_cast<size_t>(ui.FrequencyReads()), c.steps);
    }
}

TEST(WaitBetweenPasses, StopIsSeenAfterTheStepBeforeTheFrequencyIsRead) {
    FakeMonitorUi ui;
    RecordingPauser pauser;
    bool stop = false;
    pauser.OnPause([&](int index, milliseconds) { stop = index == 3; });
    EXPECT_TRUE(WaitBetweenPasses(ui, pauser, [&] { return stop; }));
    EXPECT_EQ(pauser.Pauses().size(), 3u);
    EXPECT_EQ(ui.FrequencyReads(), 2);
}

TEST(WaitBetweenPasses, LoweringTheFrequencyCountsFromTheCurrentStep) {
    FakeMonitorUi ui;
    RecordingPauser pauser;
    // Lowered to 4 s while 4 s have passed: the third step (6 s) reads 4 and the wait ends there.
    ui.OnFrequencyRead([&](int reads) {
        if (reads == 2) ui.SetFrequency("4");
    });
    WaitBetweenPasses(ui, pauser, [] { return false; });
    EXPECT_EQ(pauser.Pauses().size(), 3u);

    // Raised during the wait: the wait grows with it.
    FakeMonitorUi ui2;
    RecordingPauser pauser2;
    ui2.SetFrequency("4");
    ui2.OnFrequencyRead([&](int reads) {
        if (reads == 1) ui2.SetFrequency("10");
    });
    WaitBetweenPasses(ui2, pauser2, [] { return false; });
    EXPECT_EQ(pauser2.Pauses().size(), 5u);
}

TEST(RunPass, EveryPlanInOrderEachFollowedByThePause) {
    RecordingPauser pauser;
    ProcessLog log;
    EXPECT_TRUE(RunPass(
        {2, 5, 1}, [&](int32_t p) { log.Add(p); }, pauser));
    EXPECT_EQ(log.Positions(), (std::vector<int32_t>{2, 5, 1}));
    EXPECT_EQ(pauser.Pauses(), (std::vector<milliseconds>{kPlan, kPlan, kPlan}));
}

TEST(RunPass, AFailingPlanDoesNotEndThePass) {
    RecordingPauser pauser;
    ProcessLog log;
    EXPECT_TRUE(RunPass(
        {2, 5},
        [&](int32_t p) {
            log.Add(p);
            if (p == 2) throw std::runtime_error("broken plan");
        },
        pauser));
    EXPECT_EQ(log.Positions(), (std::vector<int32_t>{2, 5}));
    EXPECT_EQ(pauser.Pauses().size(), 2u);
}

TEST(RunPass, AbortEndsAfterThePlanInHandWithoutItsPause) {
    RecordingPauser pauser;
    ProcessLog log;
    bool abort = false;
    EXPECT_FALSE(RunPass(
        {1, 2, 3},
        [&](int32_t p) {
            log.Add(p);
            abort = p == 2;
        },
        pauser, [&] { return abort; }));
    EXPECT_EQ(log.Positions(), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(pauser.Pauses(), (std::vector<milliseconds>{kPlan}));
}

TEST(RunPass, InterruptDuringAPauseStartsNoFurtherPlan) {
    // The abort arrives while the pause after plan `during` runs (the interrupt also cuts the pause
    // short). The plan in hand was the last one, also when it was the pass's last plan.
    for (int during = 1; during <= 3; ++during) {
        RecordingPauser pauser;
        ProcessLog log;
        bool abort = false;
        pauser.OnPause([&](int index, milliseconds) { abort = abort || index == during; });
        EXPECT_FALSE(RunPass(
            {4, 5, 6}, [&](int32_t p) { log.Add(p); }, pauser, [&] { return abort; }))
            << "pause " << during;
        EXPECT_EQ(log.Positions().size(), static_cast<size_t>(during)) << "pause " << during;
        EXPECT_EQ(pauser.Pauses().size(), static_cast<size_t>(during)) << "pause " << during;
    }
}

// Waits in every pause until it is interrupted, and tells the test when a pause has begun.
class GatePauser : public Pauser {
  public:
    void Pause(milliseconds) override {
        std::unique_lock lock(mutex_);
        ++entered_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return interrupted_; });
    }
    void Interrupt() override {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        changed_.notify_all();
    }
    void WaitUntilPausing() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return entered_ > 0; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int entered_ = 0;
    bool interrupted_ = false;
};

TEST(MonitorEngine, ShutdownDuringThePlanPauseRunsNoFurtherPlan) {
    FakeMonitorUi ui;
    ProcessLog log;
    auto pauser = std::make_unique<GatePauser>();
    GatePauser& gate = *pauser;
    {
        MonitorEngine engine(
            ui, [&](int32_t p) { log.Add(p); }, std::move(pauser));
        engine.ToggleMonitor({1, 2});
        gate.WaitUntilPausing();  // plan 1 is done, its pause has begun
    }
    EXPECT_EQ(log.Positions(), std::vector<int32_t>{1});
}

class MonitorEngineTest : public ::testing::Test {
  protected:
    // Builds the engine with a recording pauser; `process` runs for every plan.
    void Make(PlanProcessor process) {
        auto pauser = std::make_unique<RecordingPauser>();
        pauser_ = pauser.get();
        engine_ = std::make_unique<MonitorEngine>(ui_, std::move(process), std::move(pauser));
    }

    FakeMonitorUi ui_;
    RecordingPauser* pauser_ = nullptr;
    std::unique_ptr<MonitorEngine> engine_;
    ProcessLog log_;
};

TEST_F(MonitorEngineTest, NothingCheckedShowsTheMessageAndStaysIdle) {
    Make([&](int32_t p) { log_.Add(p); });
    engine_->ToggleMonitor({});
    EXPECT_FALSE(engine_->WorkerRunning());
    EXPECT_EQ(ui_.Messages(), std::vector<Text>{Gbk("请至少勾选一个被监控的网站")});
    EXPECT_EQ(ui_.Calls(), (std::vector<std::string>{"enabled:0", "caption:" + Gbk("停止"), "message",
                                                     "caption:" + Gbk("监控"), "enabled:1"}));
    EXPECT_TRUE(log_.Positions().empty());
}

TEST_F(MonitorEngineTest, StopDuringAPassFinishesThePassThenOneStep) {
    std::promise<void> started;
    std::shared_future<void> started_future = started.get_future().share();
    Make([&](int32_t p) {
        log_.Add(p);
        if (log_.Positions().size() == 1) {
            started_future.wait();        // the start click has returned
            engine_->ToggleMonitor({9});  // the stop click, while plan 2 is in hand
        }
    });
    ui_.SetFrequency("200");
    engine_->ToggleMonitor({2, 5});
    EXPECT_EQ(ui_.Caption(), Gbk("停止"));
    started.set_value();
    engine_->WaitForWorker();

    EXPECT_EQ(log_.Positions(), (std::vector<int32_t>{2, 5}));
    EXPECT_EQ(pauser_->Pauses(), (std::vector<milliseconds>{kPlan, kPlan, kStep}));
    EXPECT_FALSE(engine_->WorkerRunning());
    EXPECT_EQ(ui_.Caption(), Gbk("监控"));
    EXPECT_TRUE(ui_.Enabled());
    EXPECT_EQ(ui_.Calls(), (std::vector<std::string>{"enabled:0", "caption:" + Gbk("停止"), "enabled:1",
                                                     "enabled:0", "caption:" + Gbk("正在停止"),
                                                     "caption:" + Gbk("监控"), "enabled:1"}));
    // The stop click did not take its own argument as a new list.
    EXPECT_EQ(engine_->MonitoredList(), (std::vector<int32_t>{2, 5}));
}

TEST_F(MonitorEngineTest, PassesRepeatWithTheWaitUntilStopDuringTheWait) {
    Make([&](int32_t p) { log_.Add(p); });
    ui_.SetFrequency("7");
    // Pauses: pass 1 = 800, 800, then 4 steps; pass 2 = 800, 800, then stop on its second step.
    pauser_->OnPause([&](int index, milliseconds) {
        if (index == 10) engine_->ToggleMonitor({});
    });
    engine_->ToggleMonitor({2, 5});
    engine_->WaitForWorker();

    EXPECT_EQ(log_.Positions(), (std::vector<int32_t>{2, 5, 2, 5}));
    EXPECT_EQ(pauser_->Pauses(), (std::vector<milliseconds>{kPlan, kPlan, kStep, kStep, kStep, kStep, kPlan,
                                                            kPlan, kStep, kStep}));
    EXPECT_EQ(ui_.Caption(), Gbk("监控"));
    EXPECT_TRUE(ui_.Enabled());
}

TEST_F(MonitorEngineTest, RestartTakesTheNewCheckedPositions) {
    Make([&](int32_t p) { log_.Add(p); });
    pauser_->OnPause([&](int, milliseconds d) {
        if (d == kStep) engine_->ToggleMonitor({});
    });
    engine_->ToggleMonitor({3});
    engine_->WaitForWorker();
    engine_->ToggleMonitor({1, 4});
    engine_->WaitForWorker();
    EXPECT_EQ(log_.Positions(), (std::vector<int32_t>{3, 1, 4}));
    EXPECT_EQ(engine_->MonitoredList(), (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(ui_.Caption(), Gbk("监控"));
}

TEST_F(MonitorEngineTest, ClickWhileRunningNeverStartsASecondWorker) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    Make([&](int32_t p) {
        log_.Add(p);
        released.wait();
    });
    engine_->ToggleMonitor({1});
    engine_->ToggleMonitor({1});  // stop
    engine_->ToggleMonitor({1});  // still stopping: another stop, not a start
    EXPECT_EQ(ui_.Caption(), Gbk("正在停止"));
    EXPECT_FALSE(ui_.Enabled());
    release.set_value();
    engine_->WaitForWorker();
    EXPECT_EQ(log_.Positions(), std::vector<int32_t>{1});
    EXPECT_EQ(ui_.Caption(), Gbk("监控"));
}

TEST(MonitorEngine, DestructionEndsARealWaitAtOnce) {
    FakeMonitorUi ui;
    ui.SetFrequency("100000");
    std::promise<void> first_plan;
    bool signalled = false;
    {
        MonitorEngine engine(ui, [&](int32_t) {
            if (!signalled) {
                signalled = true;
                first_plan.set_value();
            }
        });
        engine.ToggleMonitor({1});
        first_plan.get_future().wait();
        // The worker now sits in a real 800 ms pause or in a wait of more than a day.
    }
    // Shutting down leaves the controls as they were.
    EXPECT_EQ(ui.Caption(), Gbk("停止"));
}

TEST(RealPauser, InterruptWakesAWaiterAndLaterPausesReturnAtOnce) {
    RealPauser pauser;
    std::thread waiter([&] { pauser.Pause(std::chrono::hours(1)); });
    pauser.Interrupt();
    waiter.join();
    pauser.Pause(std::chrono::hours(1));
    EXPECT_TRUE(pauser.Interrupted());
}

}  // namespace
}  // namespace marl
