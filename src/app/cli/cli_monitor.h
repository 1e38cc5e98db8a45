#pragma once
#include <cstdint>
#include <vector>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "monitor/monitor_ui.h"
#include "monitor/settings_file.h"
#include "store/plan_record.h"

namespace marl::cli {

// The monitor's UI port for the command line: status lines and new articles go to stdout, as JSON Lines
// or as text for people; the frequency comes from marltips.ini, read afresh every time.
class PrintingMonitorUi final : public MonitorUi {
  public:
    PrintingMonitorUi(bool json, const SettingsFile& settings);

    void AppendStatus(const Text& line) override;
    void InsertArticleRow(int32_t position, const Text& plan_name, const Text& title, const Text& address,
                          const Text& short_time) override;
    void ShowArticle(const Text& title, const Text& address) override;
    Text FrequencyText() override;
    Text StartCaption() override { return caption_; }
    void SetStartCaption(const Text& caption) override { caption_ = caption; }
    void SetStartEnabled(bool) override {}
    void SetClipboard(const Text&) override {}
    void ShowMessage(const Text& text) override;
    bool OutputFailed() override;

  private:
    bool json_;
    const SettingsFile& settings_;
    Text caption_;
};

// The positions of the plans checked in 自动勾选 ("," + id + "," occurs in the value), in list order.
std::vector<int32_t> CheckedPositions(const PlanList& plans, const Text& checked_ids);

// `pass` (a fixed number of passes, no wait after the last) and `watch` (forever) on the monitor's own
// pass and wait code. SIGINT/SIGTERM: the plan in hand is finished, then exit 0; a second one ends at once.
// When standard output fails, the plan in hand stores none of the articles it could not show, and the
// command ends there with kExitOutput.
int RunMonitorCommand(const MonitorOptions& options, bool forever);

}  // namespace marl::cli
