#include "monitor/monitor_pass.h"

#include "text/text_ops.h"

namespace marl {

bool RunPass(const std::vector<int32_t>& positions, const PlanProcessor& process, Pauser& pauser,
             const std::function<bool()>& abort) {
    for (const int32_t position : positions) {
        try {
            process(position);
        } catch (...) {
            // ProcessPlan reports its own failures; anything that still escapes must not end monitoring.
        }
        if (abort && abort()) return false;
        pauser.Pause(kPlanPause);
        // An interrupt during the pause cuts it short: it must not start the next plan either.
        if (abort && abort()) return false;
    }
    return true;
}

bool WaitBetweenPasses(MonitorUi& ui, Pauser& pauser, const std::function<bool()>& stop) {
    constexpr int64_t kStepSeconds = kWaitStep.count() / 1000;
    // 64 bits: a frequency near the 32-bit limit must not make the sum overflow.
    int64_t waited = 0;
    int64_t frequency = 0;
    do {
        pauser.Pause(kWaitStep);
        waited += kStepSeconds;
        if (stop && stop()) return true;
        frequency = TextToInt(ui.FrequencyText());
    } while (waited < frequency);
    return false;
}

}  // namespace marl
