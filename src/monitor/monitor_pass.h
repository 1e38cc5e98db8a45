#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "monitor/monitor_ui.h"
#include "monitor/pauser.h"

namespace marl {

// The pause after every plan, also after the last plan of a pass.
inline constexpr std::chrono::milliseconds kPlanPause{800};
// The wait between passes advances in steps of this length.
inline constexpr std::chrono::milliseconds kWaitStep{2000};

// What the monitor does for one plan position (ProcessPlan in the program, anything in tests).
using PlanProcessor = std::function<void(int32_t position)>;

// One pass: `process` for every position in order, each followed by the plan pause. `abort` is asked
// after every plan and again after its pause; when it answers true the pass ends there (after the
// plan: without its pause) and the result is false, so the plan in hand is always the last one. A
// plan that throws is abandoned and the pass goes on with the next one.
bool RunPass(const std::vector<int32_t>& positions, const PlanProcessor& process, Pauser& pauser,
             const std::function<bool()>& abort = {});

// The wait between passes: steps of kWaitStep until the seconds waited reach the frequency, which is
// read from the UI afresh after every step. `stop` is asked after every step, before the frequency;
// the result is true when it answered true. Always at least one step.
bool WaitBetweenPasses(MonitorUi& ui, Pauser& pauser, const std::function<bool()>& stop);

}  // namespace marl
