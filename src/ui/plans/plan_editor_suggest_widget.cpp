// The plan editor's side of the plan suggestion: an entry in the area field's context menu fetches the
// page at 列表网址 on a worker thread, and the proposals fill the fields for the user to test and save.
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <memory>

#include "text/text_ops.h"
#include "ui/plans/plan_editor_widget.h"
#include "ui/posted_call.h"
#include "ui/qt_text.h"

namespace marl::ui {

PlanEditorWidget::~PlanEditorWidget() {
    if (suggest_thread_.joinable()) suggest_thread_.join();
}

void PlanEditorWidget::ShowAreaMenu(const QPoint& at) {
    std::unique_ptr<QMenu> menu(area_->createStandardContextMenu());
    menu->addSeparator();
    QAction* suggest = menu->addAction(QStringLiteral("推荐方案（按列表网址分析页面）"));
    suggest->setEnabled(!suggesting_);
    connect(suggest, &QAction::triggered, this, &PlanEditorWidget::SuggestPlans);
    for (size_t i = 1; i < suggestions_.size(); ++i) {
        QAction* other = menu->addAction(QStringLiteral("改用推荐方案 %1").arg(i + 1));
        connect(other, &QAction::triggered, this, [this, i] { ApplySuggestion(i); });
    }
    menu->exec(area_->mapToGlobal(at));
}

void PlanEditorWidget::SuggestPlans() {
    if (suggesting_) return;
    if (suggest_thread_.joinable()) suggest_thread_.join();
    const PlanForm form = ReadForm();
    SuggestInput input;
    input.url = form.url;
    input.encoding = form.encoding;
    input.post = form.post;
    input.ua = form.ua;
    suggesting_ = true;
    WriteStatusSegments({Gbk("正在分析列表页，请稍候……")});
    const HttpLimits limits = test_limits_;
    if (suggest_return_ == nullptr) suggest_return_ = new CallReceiver(this);
    suggest_thread_ = std::thread([this, input, limits] {
        SuggestResult result = marl::SuggestPlans(input, limits);
        {
            std::lock_guard<std::mutex> lock(suggest_mutex_);
            suggest_result_ = std::move(result);
        }
        // The window and its receiver are alive: the destructor waits for this thread before they go.
        suggest_return_->PostCall([this] { TakeSuggestion(); });
    });
}

void PlanEditorWidget::TakeSuggestion() {
    std::optional<SuggestResult> result;
    {
        std::lock_guard<std::mutex> lock(suggest_mutex_);
        result.swap(suggest_result_);
    }
    if (!result) return;
    if (suggest_thread_.joinable()) suggest_thread_.join();
    suggesting_ = false;
    suggestions_ = std::move(result->candidates);
    if (suggestions_.empty()) {
        WriteStatusSegments({Gbk("推荐方案：") + result->message});
    } else {
        ApplySuggestion(0);
    }
    if (on_suggestion_done) on_suggestion_done();
}

void PlanEditorWidget::ApplySuggestion(size_t index) {
    if (index >= suggestions_.size()) return;
    const PlanSuggestion& plan = suggestions_[index];
    const PlanForm& f = plan.form;
    // The address, headers, POST body and position stay as the user left them.
    if (name_->text().isEmpty()) name_->setText(ToQString(f.name));
    ShowEncoding(f.encoding);
    area_->setPlainText(ToQString(f.area));
    must_contain_->setText(ToQString(f.must_contain));
    may_contain_->setText(ToQString(f.may_contain));
    must_not_contain_->setText(ToQString(f.must_not_contain));
    link_prefix_->setText(ToQString(f.link_prefix));
    row_marker_->setText(ToQString(f.row_marker));
    ShowRowMarkerMode(f.row_marker_mode);

    std::vector<Text> segments;
    Text filled = Gbk("已填入推荐方案 ") + std::to_string(index + 1) + "/" +
                  std::to_string(suggestions_.size()) + Gbk("：页面编码、列表区域");
    if (!f.must_contain.empty() || !f.may_contain.empty() || !f.must_not_contain.empty())
        filled += Gbk("、网址筛选");
    if (!f.row_marker.empty()) filled += Gbk("、行结构");
    if (!f.link_prefix.empty()) filled += Gbk("、补上域名");
    segments.push_back(filled);
    segments.push_back(Gbk("预览：保留 ") + std::to_string(plan.kept) + Gbk(" 个链接，前几个是：") + "\r\n");
    for (const SuggestPreviewItem& item : plan.preview)
        segments.push_back(item.title + "\r\n" + item.url + "\r\n");
    segments.push_back(Gbk("请测试后再提交。") +
                       (suggestions_.size() > 1 ? Gbk("在区域框右键可改用其他推荐方案。") : Text()));
    WriteStatusSegments(segments);
}

}  // namespace marl::ui
