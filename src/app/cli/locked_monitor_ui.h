#pragma once
#include <mutex>

#include "monitor/monitor_ui.h"

namespace marl::cli {

// Lets several threads share one UI port: the monitor worker and the threads of the command for
// new articles, whose failures are status lines too. One call at a time, so no two lines mix.
class LockedMonitorUi final : public MonitorUi {
  public:
    explicit LockedMonitorUi(MonitorUi& inner) : inner_(inner) {}

  private:
    template <typename Call>
    auto Locked(Call&& call) -> decltype(call()) {
        std::lock_guard<std::mutex> lock(mutex_);
        return call();
    }

  public:
    void AppendStatus(const Text& line) override {
        Locked([&] { inner_.AppendStatus(line); });
    }
    void InsertArticleRow(int32_t position, const Text& plan_name, const Text& title, const Text& address,
                          const Text& short_time) override {
        Locked([&] { inner_.InsertArticleRow(position, plan_name, title, address, short_time); });
    }
    void ShowArticle(const Text& title, const Text& address) override {
        Locked([&] { inner_.ShowArticle(title, address); });
    }
    Text FrequencyText() override {
        return Locked([&] { return inner_.FrequencyText(); });
    }
    Text StartCaption() override {
        return Locked([&] { return inner_.StartCaption(); });
    }
    void SetStartCaption(const Text& caption) override {
        Locked([&] { inner_.SetStartCaption(caption); });
    }
    void SetStartEnabled(bool enabled) override {
        Locked([&] { inner_.SetStartEnabled(enabled); });
    }
    void SetClipboard(const Text& text) override {
        Locked([&] { inner_.SetClipboard(text); });
    }
    void ShowMessage(const Text& text) override {
        Locked([&] { inner_.ShowMessage(text); });
    }
    bool OutputFailed() override {
        return Locked([&] { return inner_.OutputFailed(); });
    }

  private:
    MonitorUi& inner_;
    std::mutex mutex_;
};

}  // namespace marl::cli
