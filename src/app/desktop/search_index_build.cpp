#include "app/desktop/search_index_build.h"

#include <algorithm>
#include <utility>

#include "store/search_index.h"
#include "ui/posted_call.h"

namespace marl {

QString SearchIndexStartText(int64_t total) {
    return QStringLiteral("正在为 %1 篇文章建立搜索索引，完成前暂不能搜索，监控不受影响").arg(total);
}

QString SearchIndexProgressText(int percent) { return QStringLiteral("搜索索引已完成 %1%").arg(percent); }

QString SearchIndexDoneText() { return QStringLiteral("搜索索引已建立，可以搜索了"); }

QString SearchIndexFailedText(const std::string& why) {
    return QStringLiteral("无法建立搜索索引：") +
           QString::fromUtf8(why.data(), static_cast<qsizetype>(why.size()));
}

QString SearchIndexBuildingNote(int percent) {
    return QStringLiteral("正在建立搜索索引（已完成 %1%），完成后即可搜索").arg(percent);
}

SearchIndexBuild::SearchIndexBuild(const std::string& path, int64_t progress_from, Report report)
    : report_(std::move(report)),
      receiver_(std::make_unique<ui::CallReceiver>()),
      back_(std::make_shared<ui::ReturnPath>(receiver_.get())) {
    thread_ = std::thread([this, path, progress_from] { Run(path, progress_from); });
}

SearchIndexBuild::~SearchIndexBuild() {
    stop_ = true;
    // Nothing more comes back; what is queued goes unrun with the receiver.
    back_->Close();
    if (thread_.joinable()) thread_.join();
}

void SearchIndexBuild::Run(const std::string& path, int64_t progress_from) {
    // Worker thread: only the stop flag and the way back are shared with the UI thread.
    const std::shared_ptr<ui::ReturnPath> back = back_;
    bool reporting = false;
    int reported_tenths = 0;
    std::string why;
    const bool built = BuildSearchIndex(
        path,
        [&](int64_t done, int64_t total) {
            if (stop_) return false;
            if (!reporting && total >= progress_from && total > 0) {
                reporting = true;
                back->Post([this, total] {
                    report_.status(SearchIndexStartText(total));
                    report_.progress(0);
                });
            }
            if (reporting) {
                const int tenths = static_cast<int>(std::clamp<int64_t>(done * 10 / total, 0, 10));
                if (tenths > reported_tenths) {
                    reported_tenths = tenths;
                    back->Post([this, tenths] {
                        report_.status(SearchIndexProgressText(tenths * 10));
                        report_.progress(tenths * 10);
                    });
                }
            }
            return !stop_;
        },
        why);
    if (stop_) return;
    back->Post([this, built, reporting, why] {
        running_ = false;
        if (!built) {
            report_.status(SearchIndexFailedText(why));
        } else if (reporting) {
            report_.status(SearchIndexDoneText());
        }
        report_.finished(built);
    });
}

}  // namespace marl
