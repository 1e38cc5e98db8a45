#include "feeds/command_setting.h"

#include "text/gbk_codec.h"

namespace marl::feeds {

const Text& NewArticleCommandKey() {
    static const Text key = Gbk("新文章命令");
    return key;
}

std::string StoredNewArticleCommand(const SettingsFile& settings) {
    return GbkToUtf8Lossy(settings.AccessSetting(NewArticleCommandKey(), Text()));
}

bool StoreNewArticleCommand(const SettingsFile& settings, const std::string& command) {
    const auto gbk = Utf8ToGbkStrict(command);
    if (!gbk) return false;
    // "NULL" is how the settings file is told to store an empty value.
    return settings.AccessSetting(NewArticleCommandKey(), gbk->empty() ? Text("NULL") : *gbk) == "1";
}

NewArticle SampleArticle() {
    return {0, Gbk("marltips"), Gbk("marltips 测试文章 test article"), "https://example.com/marltips-test",
            "2000-01-01 00:00:00"};
}

ReplaceableCommand::~ReplaceableCommand() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_) current_->Stop();
    for (const auto& runner : stopped_) runner->Stop();
}

void ReplaceableCommand::SetCommand(const std::string& command, CommandRunner::Report report,
                                    CommandRunner::Options options) {
    std::shared_ptr<CommandRunner> next;
    if (!command.empty()) next = std::make_shared<CommandRunner>(command, std::move(report), options);
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_) {
        current_->Stop();
        stopped_.push_back(std::move(current_));
    }
    current_ = std::move(next);
    command_ = command;
}

std::string ReplaceableCommand::command() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return command_;
}

std::shared_ptr<CommandRunner> ReplaceableCommand::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
}

void ReplaceableCommand::OnNewArticle(const NewArticle& article) {
    if (const auto runner = Current()) runner->OnNewArticle(article);
}

void ReplaceableCommand::OnNewArticles(std::vector<NewArticle>&& articles) {
    if (const auto runner = Current()) runner->OnNewArticles(std::move(articles));
}

}  // namespace marl::feeds
