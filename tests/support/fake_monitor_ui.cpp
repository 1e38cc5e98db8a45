#include "support/fake_monitor_ui.h"

namespace marl::test {

void FakeMonitorUi::AppendStatus(const Text& line) {
    std::lock_guard lock(mutex_);
    status_.push_back(line);
    calls_.push_back("status");
}

void FakeMonitorUi::InsertArticleRow(int32_t position, const Text& plan_name, const Text& title,
                                     const Text& address, const Text& short_time) {
    std::lock_guard lock(mutex_);
    rows_.insert(rows_.begin(), Row{position, plan_name, title, address, short_time});
    calls_.push_back("row");
}

void FakeMonitorUi::ShowArticle(const Text& title, const Text& address) {
    std::lock_guard lock(mutex_);
    shown_.push_back(Shown{title, address});
    calls_.push_back("show");
}

Text FakeMonitorUi::FrequencyText() {
    std::function<void(int)> hook;
    Text frequency;
    int reads;
    {
        std::lock_guard lock(mutex_);
        reads = ++frequency_reads_;
        calls_.push_back("frequency");
        hook = frequency_hook_;
        frequency = frequency_;
    }
    if (hook) hook(reads);
    return frequency;
}

Text FakeMonitorUi::StartCaption() {
    std::lock_guard lock(mutex_);
    return caption_;
}

void FakeMonitorUi::SetStartCaption(const Text& caption) {
    std::lock_guard lock(mutex_);
    caption_ = caption;
    calls_.push_back("caption:" + caption);
}

void FakeMonitorUi::SetStartEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
    calls_.push_back(enabled ? "enabled:1" : "enabled:0");
}

void FakeMonitorUi::SetClipboard(const Text& text) {
    std::lock_guard lock(mutex_);
    clipboard_ = text;
    calls_.push_back("clipboard");
}

void FakeMonitorUi::ShowMessage(const Text& text) {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    calls_.push_back("message");
}

void FakeMonitorUi::SetFrequency(const Text& text) {
    std::lock_guard lock(mutex_);
    frequency_ = text;
}

void FakeMonitorUi::OnFrequencyRead(std::function<void(int reads)> hook) {
    std::lock_guard lock(mutex_);
    frequency_hook_ = std::move(hook);
}

std::vector<Text> FakeMonitorUi::StatusLines() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::vector<Text> FakeMonitorUi::StatusMessages() const {
    std::vector<Text> messages;
    for (const Text& line : StatusLines()) {
        const size_t start = line.find(" ] ");
        Text message = start == Text::npos ? line : line.substr(start + 3);
        if (message.size() >= 2 && message.compare(message.size() - 2, 2, "\r\n") == 0)
            message.resize(message.size() - 2);
        messages.push_back(message);
    }
    return messages;
}

std::vector<FakeMonitorUi::Row> FakeMonitorUi::Rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
}

std::vector<FakeMonitorUi::Shown> FakeMonitorUi::ShownArticles() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

std::vector<Text> FakeMonitorUi::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

Text FakeMonitorUi::Clipboard() const {
    std::lock_guard lock(mutex_);
    return clipboard_;
}

Text FakeMonitorUi::Caption() const {
    std::lock_guard lock(mutex_);
    return caption_;
}

bool FakeMonitorUi::Enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

int FakeMonitorUi::FrequencyReads() const {
    std::lock_guard lock(mutex_);
    return frequency_reads_;
}

std::vector<std::string> FakeMonitorUi::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

}  // namespace marl::test
