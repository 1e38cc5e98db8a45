#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/monitor_ui.h"

namespace marl::test {

// A direct, thread-safe MonitorUi that remembers everything done to it, in order.
class FakeMonitorUi : public MonitorUi {
  public:
    struct Row {
        int32_t position = 0;
        Text plan, title, address, time;
    };
    struct Shown {
        Text title, address;
    };

    void AppendStatus(const Text& line) override;
    void InsertArticleRow(int32_t position, const Text& plan_name, const Text& title, const Text& address,
                          const Text& short_time) override;
    void ShowArticle(const Text& title, const Text& address) override;
    Text FrequencyText() override;
    Text StartCaption() override;
    void SetStartCaption(const Text& caption) override;
    void SetStartEnabled(bool enabled) override;
    void SetClipboard(const Text& text) override;
    void ShowMessage(const Text& text) override;

    void SetFrequency(const Text& text);
    // Runs (outside the lock) after every frequency read, with the number of reads so far.
    void OnFrequencyRead(std::function<void(int reads)> hook);

    // Whole status lines, as appended (with their CR LF).
    std::vector<Text> StatusLines() const;
    // Status messages only: the part after "[ stamp ] " without the CR LF.
    std::vector<Text> StatusMessages() const;
    // Article rows, top row first (as the list shows them).
    std::vector<Row> Rows() const;
    std::vector<Shown> ShownArticles() const;
    std::vector<Text> Messages() const;
    Text Clipboard() const;
    Text Caption() const;
    bool Enabled() const;
    int FrequencyReads() const;
    // Every call in order, as "kind" or "kind:detail" (status, row, show, caption:<text>,
    // enabled:0|1, clipboard, message, frequency).
    std::vector<std::string> Calls() const;

  private:
    mutable std::mutex mutex_;
    std::vector<Text> status_;
    std::vector<Row> rows_;
    std::vector<Shown> shown_;
    std::vector<Text> messages_;
    std::vector<std::string> calls_;
    Text clipboard_;
    Text caption_ = Gbk("监控");
    bool enabled_ = true;
    Text frequency_ = "200";
    int frequency_reads_ = 0;
    std::function<void(int)> frequency_hook_;
};

}  // namespace marl::test
