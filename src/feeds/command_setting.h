#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "feeds/command_runner.h"
#include "monitor/new_article_hook.h"
#include "monitor/settings_file.h"

namespace marl::feeds {

// The key of the command for new articles in section 配置 of marltips.ini (GBK).
const Text& NewArticleCommandKey();
// The command as stored (GBK), as the command line /bin/sh gets (UTF-8); empty when none.
std::string StoredNewArticleCommand(const SettingsFile& settings);
// Stores the command (UTF-8; empty removes it). False when the file could not be written or the
// command has no GBK form.
bool StoreNewArticleCommand(const SettingsFile& settings, const std::string& command);

// The sample article the settings dialog's test runs the command with.
NewArticle SampleArticle();

// The monitor's hook for a command that the user may change while monitoring runs: each change
// starts a new runner, and the old one stops taking articles (its running commands are left to
// finish). Stopped runners are kept until this object ends, which waits for their threads, so it
// must end after the UI port has stopped taking their reports.
class ReplaceableCommand final : public NewArticleHook {
  public:
    ReplaceableCommand() = default;
    ~ReplaceableCommand() override;
    ReplaceableCommand(const ReplaceableCommand&) = delete;
    ReplaceableCommand& operator=(const ReplaceableCommand&) = delete;

    // UTF-8; empty: no command.
    void SetCommand(const std::string& command, CommandRunner::Report report,
                    CommandRunner::Options options = {});
    std::string command() const;
    void OnNewArticle(const NewArticle& article) override;
    void OnNewArticles(std::vector<NewArticle>&& articles) override;

  private:
    std::shared_ptr<CommandRunner> Current() const;

    mutable std::mutex mutex_;
    std::string command_;
    std::shared_ptr<CommandRunner> current_;
    std::vector<std::shared_ptr<CommandRunner>> stopped_;
};

}  // namespace marl::feeds
